// The escaping of the dialog driver's line protocol, shared by both ends: the driver
// (Windows) and the test's client (Linux). One command or reply per line, so line breaks,
// tabs and backslashes inside a text travel as \n, \r, \t and \\.
#pragma once
#include <string>

inline std::string EscapeDriverText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

inline std::string UnescapeDriverText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        switch (next) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: out += next;
        }
    }
    return out;
}
