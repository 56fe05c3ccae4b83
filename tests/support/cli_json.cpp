#include "cli_json.h"

#include <cstdlib>

namespace {

struct Reader {
    const std::string& s;
    size_t i = 0;

    void Blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    }
    bool Literal(const char* word) {
        const std::string w = word;
        if (s.compare(i, w.size(), w) != 0) return false;
        i += w.size();
        return true;
    }
    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool String(std::string* out) {
        if (i >= s.size() || s[i] != '"') return false;
        ++i;
        while (i < s.size()) {
            const char c = s[i++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (i >= s.size()) return false;
            const char e = s[i++];
            switch (e) {
            case '"': *out += '"'; break;
            case '\\': *out += '\\'; break;
            case '/': *out += '/'; break;
            case 'b': *out += '\b'; break;
            case 'f': *out += '\f'; break;
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            case 'u': {
                if (i + 4 > s.size()) return false;
                const std::string hex = s.substr(i, 4);
                if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
                AppendUtf8(*out, static_cast<unsigned>(std::strtoul(hex.c_str(), nullptr, 16)));
                i += 4;
                break;
            }
            default: return false;
            }
        }
        return false;
    }
    bool Value(JsonValue* v) {
        Blanks();
        if (i >= s.size()) return false;
        const char c = s[i];
        if (c == '{') {
            v->type = JsonValue::Type::Object;
            ++i;
            Blanks();
            if (i < s.size() && s[i] == '}') return ++i, true;
            for (;;) {
                Blanks();
                std::string key;
                if (!String(&key)) return false;
                Blanks();
                if (i >= s.size() || s[i++] != ':') return false;
                if (!Value(&v->fields[key])) return false;
                Blanks();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                if (i < s.size() && s[i] == '}') return ++i, true;
                return false;
            }
        }
        if (c == '[') {
            v->type = JsonValue::Type::Array;
            ++i;
            Blanks();
            if (i < s.size() && s[i] == ']') return ++i, true;
            for (;;) {
                v->items.emplace_back();
                if (!Value(&v->items.back())) return false;
                Blanks();
                if (i < s.size() && s[i] == ',') { ++i; continue; }
                if (i < s.size() && s[i] == ']') return ++i, true;
                return false;
            }
        }
        if (c == '"') {
            v->type = JsonValue::Type::String;
            return String(&v->text);
        }
        if (Literal("true")) { v->type = JsonValue::Type::Bool; v->boolean = true; return true; }
        if (Literal("false")) { v->type = JsonValue::Type::Bool; return true; }
        if (Literal("null")) { v->type = JsonValue::Type::Null; return true; }
        const char* start = s.c_str() + i;
        char* end = nullptr;
        v->number = std::strtod(start, &end);
        if (end == start) return false;
        v->type = JsonValue::Type::Number;
        i += static_cast<size_t>(end - start);
        return true;
    }
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue missing;
    const auto found = fields.find(key);
    return found == fields.end() ? missing : found->second;
}

bool ParseJson(const std::string& text, JsonValue* value) {
    Reader reader{text};
    *value = JsonValue();
    if (!reader.Value(value)) return false;
    reader.Blanks();
    return reader.i == text.size();
}
