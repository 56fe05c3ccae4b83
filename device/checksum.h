// The 8-bit additive checksum used by the wire protocol and the image file.
#pragma once
#include <cstdint>

// Sum of the n bytes modulo 256; 0 when n is 0 or negative.
uint8_t AdditiveChecksum(const uint8_t* data, int32_t n);
