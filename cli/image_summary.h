// The offline image check: what the upload would make of a file, without a port.
//
// The figures are the device link's own image check (image_check.h): the header that
// would announce the image and the blocks it would go out in, so a user can check a file
// before touching a unit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image_check.h"

// The image check's figures, and for an unreadable file what failed.
struct ImageSummary : ImageCheck {
    uint32_t osError = 0;       // for Unreadable: the system's error, 0 when unknown
    std::string problem;        // for Unreadable: what failed ("cannot open", ...)
    std::vector<uint8_t> bytes; // the image as read and checked (empty when it was not read)
};

// The summary of an image held in memory (never Unreadable); it keeps the bytes.
ImageSummary SummarizeImage(const std::vector<uint8_t>& bytes);
// Opens, sizes and reads the file through the platform's image-file layer; a file larger
// than 65,536 bytes is judged by its size and not read.
ImageSummary ReadImageSummary(const char* path);

// "66 01 2C 93"
std::string HexBytes(const uint8_t* bytes, size_t count);
