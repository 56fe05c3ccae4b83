#include "version_text.h"

#include <cstdio>

void FormatVersionText(const VersionTriple& version, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    std::snprintf(text, capacity, "%.2i.%.2i.%c", static_cast<int>(version.major), static_cast<int>(version.minor),
                  version.letter);
}
