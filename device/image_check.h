// The image check: what an upload makes of a firmware image, computed once for the upload
// and for the offline check of the command-line tool.
//
// An image is 1 to 65,536 bytes whose last byte is the sum of all before it, modulo 256.
// It goes out as a 4-byte header, then blocks of 256 bytes, the last one shorter when the
// size is not a multiple, with the transfer checksum T (the sum of every byte) after it.
#pragma once
#include <cstdint>

enum class ImageVerdict {
    Good,
    BadCheckByte,   // the last byte is not the sum of the others
    Empty,          // no bytes at all: no check byte
    TooLarge,       // more than 65,536 bytes: the header cannot announce it
    Unreadable,     // the file cannot be opened, sized or read whole (never from CheckImage)
};

struct ImageCheck {
    ImageVerdict verdict = ImageVerdict::Unreadable;
    uint64_t size = 0;
    uint8_t checkByte = 0;        // the image's last byte
    uint8_t sumBefore = 0;        // the sum of the bytes before it
    uint8_t header[4] = {};       // 'f', length high, length low, header check
    uint8_t transferSum = 0;      // T: the sum of all bytes, sent after the last block
    uint32_t fullBlocks = 0;      // blocks of 256 bytes
    uint32_t lastBlockBytes = 0;  // image bytes in the short block, 0 when there is none

    // Writes on the wire: full blocks plus the short one.
    uint32_t BlockWrites() const { return fullBlocks + (lastBlockBytes != 0 ? 1 : 0); }
};

// Judges a size alone: Empty, TooLarge, or Good meaning "worth reading".
ImageVerdict CheckImageSize(uint64_t size);
// The whole check of size bytes. With a size that CheckImageSize refuses, bytes are not
// looked at (they may be null); an acceptable size without bytes is Unreadable.
ImageCheck CheckImage(const uint8_t* bytes, uint64_t size);
