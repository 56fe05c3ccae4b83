// The 8-bit additive checksum of the wire protocol and the image file.
#include "checksum.h"

uint8_t AdditiveChecksum(const uint8_t* data, int32_t n) {
    uint8_t sum = 0;
    for (int32_t i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + data[i]);
    return sum;
}
