// A small reader of Windows executables for the checks that run on Linux: the machine,
// the imported DLLs and the resources (type, name, language, bytes). Every offset is
// bounds-checked; a malformed file gives an error text, never a crash.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PeResource {
    uint32_t type;       // numeric type (3 icon, 5 dialog, 14 icon group, 16 version, 24 manifest)
    std::string name;    // "#129" for a numeric name, otherwise the name's text
    uint32_t language;
    std::vector<uint8_t> data;
};

struct PeImage {
    uint16_t machine = 0;          // 0x014C i386, 0x8664 x86_64
    uint16_t optionalMagic = 0;    // 0x10B PE32, 0x20B PE32+
    uint16_t subsystem = 0;        // 2 GUI, 3 console
    std::vector<std::string> importedDlls;
    std::vector<PeResource> resources;
};

// Reads the file at path; on failure returns false and says why in error.
bool ReadPeImage(const std::string& path, PeImage& image, std::string& error);

// The resource of the given type and name ("#129"), or null.
const PeResource* FindResource(const PeImage& image, uint32_t type, const std::string& name);
