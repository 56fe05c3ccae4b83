// Firmware image files on Win32: read-only with share mode 0, so no other program can
// open (let alone change) the image while it is checked and sent.
#include <windows.h>

#include "image_file.h"
#include "win32_last_error.h"

namespace {

HANDLE AsHandle(ImageFileHandle file) { return static_cast<HANDLE>(file); }

}  // namespace

ImageFileHandle ImageFileOpen(const char* path) {
    HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RememberLastWin32Error();
        return nullptr;
    }
    return handle;
}

// The full 64-bit size: a file of 4 GiB + n bytes must not pass for an n-byte image.
bool ImageFileSize(ImageFileHandle file, uint64_t* size) {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(AsHandle(file), &length)) {
        RememberLastWin32Error();
        return false;
    }
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

// ReadFile may return fewer bytes than asked; keep reading until count bytes arrived
// or the end of the file.
bool ImageFileRead(ImageFileHandle file, void* data, uint32_t count, uint32_t* received) {
    auto* bytes = static_cast<unsigned char*>(data);
    uint32_t total = 0;
    while (total < count) {
        DWORD got = 0;
        if (!ReadFile(AsHandle(file), bytes + total, count - total, &got, nullptr)) {
            RememberLastWin32Error();
            *received = total;
            return false;
        }
        if (got == 0) break;  // end of file
        total += got;
    }
    *received = total;
    return true;
}

void ImageFileClose(ImageFileHandle file) { CloseHandle(AsHandle(file)); }

// No type check is made here yet: CreateFileA's own error is reported as it comes.
bool ImageFileErrorIsNotRegular(uint32_t) { return false; }
