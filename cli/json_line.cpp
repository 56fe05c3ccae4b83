#include "json_line.h"

#include <cmath>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when it is not one.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

void AppendEscapedByte(std::string& out, unsigned char byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
    out += escaped;
}

}  // namespace

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"') out += "\\\"";
        else if (byte == '\\') out += "\\\\";
        else if (byte == '\n') out += "\\n";
        else if (byte == '\r') out += "\\r";
        else if (byte == '\t') out += "\\t";
        else if (byte < 0x20 || byte == 0x7F) AppendEscapedByte(out, byte);
        else if (byte < 0x80) out += static_cast<char>(byte);
        else {
            const size_t length = Utf8SequenceLength(text, i);
            if (length == 0) {
                AppendEscapedByte(out, byte);
            } else {
                out.append(text, i, length);
                i += length;
                continue;
            }
        }
        ++i;
    }
    out += "\"";
    return out;
}

void JsonLine::Key(const char* key) {
    if (!body_.empty()) body_ += ",";
    body_ += JsonQuote(key);
    body_ += ":";
}

JsonLine& JsonLine::Add(const char* key, const std::string& value) {
    Key(key);
    body_ += JsonQuote(value);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, const char* value) { return Add(key, std::string(value ? value : "")); }

JsonLine& JsonLine::Add(const char* key, int64_t value) {
    Key(key);
    body_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Add(const char* key, double value) {
    Key(key);
    if (!std::isfinite(value)) {
        body_ += "null";  // JSON has no infinity; an unknown rate or time is null
        return *this;
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.3f", value);
    body_ += number;
    return *this;
}

JsonLine& JsonLine::Add(const char* key, bool value) {
    Key(key);
    body_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Add(const char* key, const std::vector<uint8_t>& values) {
    Key(key);
    body_ += "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i != 0) body_ += ",";
        body_ += std::to_string(values[i]);
    }
    body_ += "]";
    return *this;
}

JsonLine& JsonLine::AddRaw(const char* key, const std::string& json) {
    Key(key);
    body_ += json;
    return *this;
}
