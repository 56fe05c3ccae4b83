// Decodes an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items) as
// stored in a program's resources, so a test can compare it field by field.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A class, menu or title: either an ordinal (0xFFFF then a number) or a text.
struct SzOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text;  // 8-bit copy of the UTF-16 text (the templates here are ASCII)
};

struct DialogItem {
    uint32_t helpId;
    uint32_t exStyle;
    uint32_t style;
    int16_t x, y, cx, cy;
    int32_t id;
    SzOrOrdinal windowClass;
    SzOrOrdinal title;
    uint16_t extraCount;
};

struct DialogTemplate {
    uint16_t version;
    uint16_t signature;
    uint32_t helpId;
    uint32_t exStyle;
    uint32_t style;
    uint16_t itemCount;
    int16_t x, y, cx, cy;
    SzOrOrdinal menu;
    SzOrOrdinal windowClass;
    std::string title;
    uint16_t pointSize;
    uint16_t weight;
    uint8_t italic;
    uint8_t charset;
    std::string typeface;
    std::vector<DialogItem> items;
};

// False (with the reason) when the bytes are not a complete extended template.
bool ParseDialogTemplate(const std::vector<uint8_t>& bytes, DialogTemplate& dialog, std::string& error);
