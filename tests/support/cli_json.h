// A small strict JSON reader, so the tests check that --json lines really parse.
#pragma once
#include <map>
#include <string>
#include <vector>

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> fields;

    bool Has(const std::string& key) const { return fields.count(key) != 0; }
    // The field, or a null value when it is missing.
    const JsonValue& operator[](const std::string& key) const;
};

// False unless text is exactly one JSON value (surrounding blanks allowed).
bool ParseJson(const std::string& text, JsonValue* value);
