// DeviceLink::DescribeDevice: the hardware description text ("Kestrale USB v1.5.A").
//
// The model name replaces what the buffer held; variant suffixes and the version suffix
// are appended. Every write is bounded by the caller's capacity: a text that does not fit
// is cut and still terminated.
#include <cstdio>
#include <cstring>

#include "device_link.h"

namespace {

// Length of the terminated text in a buffer of `capacity` bytes. A buffer that holds no
// terminator is terminated at its last byte first, so that appending stays inside it.
size_t BoundedLength(char* text, size_t capacity) {
    const void* end = std::memchr(text, '\0', capacity);
    if (end == nullptr) {
        text[capacity - 1] = '\0';
        return capacity - 1;
    }
    return static_cast<size_t>(static_cast<const char*>(end) - text);
}

// Appends `piece` after the text, cutting it where the buffer ends.
void AppendBounded(char* text, size_t capacity, const char* piece) {
    size_t used = BoundedLength(text, capacity);
    size_t room = capacity - 1 - used;
    size_t length = std::strlen(piece);
    if (length > room) length = room;
    std::memcpy(text + used, piece, length);
    text[used + length] = '\0';
}

// Replaces the buffer's text with `piece`, cut to fit.
void CopyBounded(char* text, size_t capacity, const char* piece) {
    text[0] = '\0';
    AppendBounded(text, capacity, piece);
}

bool HasBits(DeviceKind kind, DeviceKind bits) { return (kind & bits) == bits; }

}  // namespace

void DeviceLink::DescribeDevice(DeviceKind kind, const VersionTriple* version, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    // Two model bits that cannot both be true: leave the buffer exactly as it was.
    if (HasBits(kind, KIND_TAMBERLIN_I | KIND_TAMBERLIN_II)) return;
    if (HasBits(kind, KIND_KESTRALE | KIND_GRIST_PELL)) return;

    // Later names win over earlier ones when two compatible model bits are set.
    if (kind & KIND_TAMBERLIN_I) CopyBounded(text, capacity, "Tamberlin I");
    if (kind & KIND_TAMBERLIN_II) CopyBounded(text, capacity, "Tamberlin II");
    if (kind & KIND_KESTRALE) {
        CopyBounded(text, capacity, "Kestrale");
        if (kind & KIND_USB) AppendBounded(text, capacity, " USB");
        if (kind & KIND_SERIAL) AppendBounded(text, capacity, " Serial");
        if (kind & KIND_1MBIT) AppendBounded(text, capacity, " 1MBit");
        if (kind & KIND_4MBIT) AppendBounded(text, capacity, " 4MBit");
    }
    if (kind & KIND_GRIST_PELL) CopyBounded(text, capacity, "Grist & Pell");

    if (version != nullptr) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, " v%i.%i.%c", static_cast<int>(version->major),
                      static_cast<int>(version->minor), version->letter);
        AppendBounded(text, capacity, suffix);
    }
}
