// One JSON object on one line, built field by field, for --json output.
//
// Only what the tool emits: strings, integers, reals, booleans and arrays of small
// integers. Text is escaped so the line is always valid JSON, whatever bytes a port
// name or a unit's version letter holds.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class JsonLine {
public:
    JsonLine& Add(const char* key, const std::string& value);
    JsonLine& Add(const char* key, const char* value);
    JsonLine& Add(const char* key, int64_t value);
    JsonLine& Add(const char* key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, uint32_t value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, uint64_t value) { return Add(key, static_cast<int64_t>(value)); }
    JsonLine& Add(const char* key, double value);
    JsonLine& Add(const char* key, bool value);
    JsonLine& Add(const char* key, const std::vector<uint8_t>& values);
    // A field whose value is already JSON (an object or array built elsewhere).
    JsonLine& AddRaw(const char* key, const std::string& json);

    // The object, without a line break.
    std::string Text() const { return "{" + body_ + "}"; }

private:
    void Key(const char* key);
    std::string body_;
};

// The text as a JSON string literal, quotes included. Valid UTF-8 passes through;
// other bytes are written as \u00XX (read as Latin-1).
std::string JsonQuote(const std::string& text);
