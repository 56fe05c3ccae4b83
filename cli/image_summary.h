// The offline image check: what the upload would make of a file, without a port.
//
// An image is 1 to 65,536 bytes whose last byte is the sum of all before it, modulo
// 256. The summary gives the header that would announce it and the blocks it would go
// out in, so a user can check a file before touching a unit.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t IMAGE_MAX_BYTES = 65536;

enum class ImageVerdict {
    Good,
    BadCheckByte,   // the last byte is not the sum of the others
    Empty,          // no bytes at all: no check byte
    TooLarge,       // more than 65,536 bytes: the header cannot announce it
    Unreadable,     // the file cannot be opened, sized or read whole
};

struct ImageSummary {
    ImageVerdict verdict = ImageVerdict::Unreadable;
    uint64_t size = 0;
    uint8_t checkByte = 0;      // the image's last byte
    uint8_t sumBefore = 0;      // the sum of the bytes before it
    uint8_t header[4] = {};     // 'f', length high, length low, header check
    uint8_t transferSum = 0;    // T: the sum of all bytes, sent after the last block
    uint32_t fullBlocks = 0;    // blocks of 256 bytes
    uint32_t lastBlockBytes = 0;  // image bytes in the short block, 0 when there is none
    uint32_t osError = 0;       // for Unreadable: the system's error, 0 when unknown
    std::string problem;        // for Unreadable: what failed ("cannot open", ...)

    // Writes on the wire: full blocks plus the short one.
    uint32_t BlockWrites() const { return fullBlocks + (lastBlockBytes != 0 ? 1 : 0); }
};

// The summary of an image held in memory (never Unreadable).
ImageSummary SummarizeImage(const std::vector<uint8_t>& bytes);
// Opens, sizes and reads the file through the platform's image-file layer; a file larger
// than 65,536 bytes is judged by its size and not read.
ImageSummary ReadImageSummary(const char* path);

// "66 01 2C 93"
std::string HexBytes(const uint8_t* bytes, size_t count);
