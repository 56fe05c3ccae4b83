#include "pe_image.h"

#include <fstream>
#include <utility>

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t> data) : bytes(std::move(data)) {}

    bool Has(uint64_t offset, uint64_t size) const { return offset <= bytes.size() && size <= bytes.size() - offset; }
    uint16_t U16(uint64_t offset) const {
        return Has(offset, 2) ? static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8) : 0;
    }
    uint32_t U32(uint64_t offset) const {
        return Has(offset, 4) ? static_cast<uint32_t>(U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16) : 0;
    }
    std::vector<uint8_t> Slice(uint64_t offset, uint64_t size) const {
        if (!Has(offset, size)) return {};
        return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + size)};
    }
    std::string CString(uint64_t offset) const {
        std::string text;
        while (Has(offset, 1) && bytes[offset] != 0 && text.size() < 512) text.push_back(static_cast<char>(bytes[offset++]));
        return text;
    }

private:
    std::vector<uint8_t> bytes;
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

class PeReader {
public:
    PeReader(const Bytes& file, std::vector<Section> sectionTable) : bytes(file), sections(std::move(sectionTable)) {}

    // File offset of a relative virtual address, or UINT64_MAX when no section holds it.
    uint64_t OffsetOf(uint32_t rva) const {
        for (const Section& s : sections) {
            const uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
                return uint64_t{s.rawOffset} + (rva - s.virtualAddress);
            }
        }
        return UINT64_MAX;
    }

    void ReadImports(uint32_t directoryRva, std::vector<std::string>& dlls) const {
        uint64_t descriptor = OffsetOf(directoryRva);
        // 20-byte descriptors, ended by an all-zero one.
        for (int i = 0; i < 256 && bytes.Has(descriptor, 20); ++i, descriptor += 20) {
            const uint32_t nameRva = bytes.U32(descriptor + 12);
            if (nameRva == 0) break;
            dlls.push_back(bytes.CString(OffsetOf(nameRva)));
        }
    }

    void ReadResources(uint32_t directoryRva, std::vector<PeResource>& out) const {
        root = OffsetOf(directoryRva);
        for (const Entry& type : Entries(root)) {
            if (!type.isDirectory) continue;
            for (const Entry& name : Entries(type.target)) {
                if (!name.isDirectory) continue;
                for (const Entry& language : Entries(name.target)) {
                    if (language.isDirectory) continue;
                    const uint32_t dataRva = bytes.U32(language.target);
                    const uint32_t size = bytes.U32(language.target + 4);
                    out.push_back(PeResource{type.id, name.Name(), language.id, bytes.Slice(OffsetOf(dataRva), size)});
                }
            }
        }
    }

private:
    struct Entry {
        uint32_t id;
        std::string text;  // a named entry's text, empty for numeric ids
        bool isDirectory;
        uint64_t target;   // file offset of the subdirectory or of the data entry
        std::string Name() const { return text.empty() ? "#" + std::to_string(id) : text; }
    };

    std::vector<Entry> Entries(uint64_t directory) const {
        std::vector<Entry> entries;
        if (!bytes.Has(directory, 16)) return entries;
        const uint32_t count = uint32_t{bytes.U16(directory + 12)} + bytes.U16(directory + 14);
        for (uint32_t i = 0; i < count && i < 4096; ++i) {
            const uint64_t at = directory + 16 + 8ull * i;
            if (!bytes.Has(at, 8)) break;
            const uint32_t nameField = bytes.U32(at);
            const uint32_t offsetField = bytes.U32(at + 4);
            Entry entry{nameField, {}, (offsetField & 0x80000000u) != 0, root + (offsetField & 0x7FFFFFFFu)};
            if ((nameField & 0x80000000u) != 0) {
                const uint64_t text = root + (nameField & 0x7FFFFFFFu);
                const uint16_t length = bytes.U16(text);
                for (uint16_t c = 0; c < length; ++c) entry.text.push_back(static_cast<char>(bytes.U16(text + 2 + 2ull * c)));
                entry.id = 0;
            }
            entries.push_back(entry);
        }
        return entries;
    }

    const Bytes& bytes;
    std::vector<Section> sections;
    mutable uint64_t root = 0;
};

}  // namespace

bool ReadPeImage(const std::string& path, PeImage& image, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> content(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()));
    const Bytes bytes(std::move(content));
    if (bytes.U16(0) != 0x5A4D) {
        error = path + ": no MZ header";
        return false;
    }
    const uint32_t pe = bytes.U32(0x3C);
    if (!bytes.Has(pe, 24) || bytes.U32(pe) != 0x00004550) {
        error = path + ": no PE signature";
        return false;
    }
    image.machine = bytes.U16(pe + 4);
    const uint16_t sectionCount = bytes.U16(pe + 6);
    const uint16_t optionalSize = bytes.U16(pe + 20);
    const uint64_t optional = pe + 24;
    image.optionalMagic = bytes.U16(optional);
    image.subsystem = bytes.U16(optional + 68);
    // The data directories follow the fields that differ between PE32 and PE32+.
    const uint64_t directories = optional + (image.optionalMagic == 0x20B ? 112 : 96);
    if (image.optionalMagic != 0x10B && image.optionalMagic != 0x20B) {
        error = path + ": unknown optional header";
        return false;
    }

    std::vector<Section> sections;
    const uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint64_t s = table + 40ull * i;
        if (!bytes.Has(s, 40)) break;
        sections.push_back(Section{bytes.U32(s + 12), bytes.U32(s + 8), bytes.U32(s + 20), bytes.U32(s + 16)});
    }
    const PeReader reader(bytes, sections);
    const uint32_t importRva = bytes.U32(directories + 8 * 1);
    const uint32_t resourceRva = bytes.U32(directories + 8 * 2);
    if (importRva != 0) reader.ReadImports(importRva, image.importedDlls);
    if (resourceRva != 0) reader.ReadResources(resourceRva, image.resources);
    return true;
}

const PeResource* FindResource(const PeImage& image, uint32_t type, const std::string& name) {
    for (const PeResource& r : image.resources) {
        if (r.type == type && r.name == name) return &r;
    }
    return nullptr;
}
