#include "device_text.h"

#include <cstdio>

#include "device_link.h"
#include "version_text.h"

namespace {

constexpr size_t MODEL_TEXT_CAPACITY = 64;

}  // namespace

std::string KindText(DeviceKind kind) {
    // The link's description leaves the text alone for a kind it cannot name.
    char model[MODEL_TEXT_CAPACITY] = "unknown model";
    DeviceLink::DescribeDevice(kind, nullptr, model, sizeof model);
    char code[32];
    std::snprintf(code, sizeof code, " (kind 0x%02X)", static_cast<unsigned>(kind));
    return std::string(model) + code;
}

std::string VersionText(const VersionTriple& version) {
    char text[VERSION_TEXT_CAPACITY];
    FormatVersionText(version, text, sizeof text);
    return text;
}
