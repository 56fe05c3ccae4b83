// Firmware image files on Win32: read-only with share mode 0, so no other program can
// open (let alone change) the image while it is checked and sent.
//
// Only files on disk are taken: a device (NUL, a COM port) or a pipe has no size to check
// the image against, and a folder cannot be opened as a file at all.
#include <windows.h>

#include "image_file.h"
#include "win32_last_error.h"

namespace {

// The error a path that is no file on disk is refused with.
constexpr DWORD NOT_A_DISK_FILE = ERROR_BAD_FILE_TYPE;

HANDLE AsHandle(ImageFileHandle file) { return static_cast<HANDLE>(file); }

bool IsFolder(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

ImageFileHandle ImageFileOpen(const char* path) {
    if (IsFolder(path)) {
        SetLastError(NOT_A_DISK_FILE);
        RememberLastWin32Error();
        return nullptr;
    }
    HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        RememberLastWin32Error();
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        SetLastError(NOT_A_DISK_FILE);
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

bool ImageFileErrorIsNotRegular(uint32_t error) { return error == NOT_A_DISK_FILE; }
