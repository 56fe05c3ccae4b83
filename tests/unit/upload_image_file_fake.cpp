// image_file.h over the FakeImageFile script.
#include "upload_image_file_fake.h"

#include <algorithm>
#include <cstring>

#include "image_file.h"

namespace {
int sentinel;  // the one handle this layer gives out
}

FakeImageFile& FakeImageFile::Get() {
    static FakeImageFile instance;
    return instance;
}

void FakeImageFile::Reset() { *this = FakeImageFile{}; }

void FakeImageFile::SetContent(std::vector<uint8_t> bytes) {
    content = std::move(bytes);
    reportedSize = content.size();
}

ImageFileHandle ImageFileOpen(const char* path) {
    FakeImageFile& f = FakeImageFile::Get();
    if (path == nullptr || f.openFails) return nullptr;
    ++f.opens;
    return &sentinel;
}

bool ImageFileSize(ImageFileHandle file, uint64_t* size) {
    FakeImageFile& f = FakeImageFile::Get();
    if (file != &sentinel || f.sizeFails) return false;
    *size = f.reportedSize;
    return true;
}

bool ImageFileRead(ImageFileHandle file, void* data, uint32_t count, uint32_t* received) {
    FakeImageFile& f = FakeImageFile::Get();
    ++f.reads;
    *received = 0;
    if (file != &sentinel || f.readFails) return false;
    uint64_t n = std::min<uint64_t>(count, f.content.size());
    if (f.readDeliversAtMost >= 0) n = std::min<uint64_t>(n, static_cast<uint64_t>(f.readDeliversAtMost));
    std::memcpy(data, f.content.data(), static_cast<size_t>(n));
    *received = static_cast<uint32_t>(n);
    return true;
}

void ImageFileClose(ImageFileHandle file) {
    if (file == &sentinel) ++FakeImageFile::Get().closes;
}
