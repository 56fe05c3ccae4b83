// Request builders for the emulator's model tests, written from the wire formats alone so
// that the tests do not lean on the code they check.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

inline uint8_t WireSum(const std::vector<uint8_t>& bytes, size_t from = 0, size_t to = SIZE_MAX) {
    unsigned sum = 0;
    for (size_t i = from; i < bytes.size() && i < to; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

inline std::vector<uint8_t> WithSum(std::vector<uint8_t> bytes) {
    bytes.push_back(WireSum(bytes));
    return bytes;
}

inline std::vector<uint8_t> HrRequest(uint8_t length, uint16_t address) {
    return WithSum({'H', 'R', length, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)});
}

inline std::vector<uint8_t> ERequest(uint8_t length, uint16_t address) {
    std::vector<uint8_t> r{'E', length, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    r.resize(4 + (length == 0 ? 256u : length), 0);
    return WithSum(r);
}

inline std::vector<uint8_t> SpeedRequest(uint8_t code) { return WithSum({'S', code}); }

// A valid image of n bytes: a pattern, then its check byte.
inline std::vector<uint8_t> GoodImage(size_t n) {
    std::vector<uint8_t> image(n);
    for (size_t i = 0; i + 1 < n; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    image[n - 1] = WireSum(image, 0, n - 1);
    return image;
}

inline std::vector<uint8_t> UploadHeader(size_t n) {
    return WithSum({'f', static_cast<uint8_t>((n >> 8) & 0xFF), static_cast<uint8_t>(n & 0xFF)});
}

// The image cut into the blocks the host sends: 256 bytes each, T after the last one.
inline std::vector<std::vector<uint8_t>> UploadBlocks(const std::vector<uint8_t>& image, uint8_t t) {
    std::vector<std::vector<uint8_t>> blocks;
    for (size_t at = 0; at < image.size(); at += 256) {
        const size_t end = std::min(image.size(), at + 256);
        blocks.emplace_back(image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(end));
    }
    blocks.back().push_back(t);
    return blocks;
}

inline uint8_t TransferSum(const std::vector<uint8_t>& image) { return WireSum(image); }
