// The dialog's firmware version text: "%.2i.%.2i.%c" (01.05.A, 255.255.x).
#pragma once
#include <cstddef>

#include "device_types.h"

// The longest text is 9 characters (255.255.x) plus the terminator.
constexpr size_t VERSION_TEXT_CAPACITY = 16;

// Writes the version text into text (capacity bytes, always terminated when capacity > 0).
void FormatVersionText(const VersionTriple& version, char* text, size_t capacity);
