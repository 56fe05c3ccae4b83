// Read-only, exclusive access to a firmware image file, through the platform layer.
// Win32: CreateFileA with share mode 0. POSIX: open(O_RDONLY) plus an exclusive flock,
// so a second opener (of either kind) is refused while an upload runs.
#pragma once
#include <cstdint>

#include "os_error.h"  // why an open or read failed

using ImageFileHandle = void*;  // null when not open

ImageFileHandle ImageFileOpen(const char* path);
// The full 64-bit size; false when it cannot be read.
bool ImageFileSize(ImageFileHandle file, uint64_t* size);
// One read of up to count bytes from the current position.
bool ImageFileRead(ImageFileHandle file, void* data, uint32_t count, uint32_t* received);
void ImageFileClose(ImageFileHandle file);
// Whether an open failed because the path is not a regular file (a pipe, a device).
bool ImageFileErrorIsNotRegular(uint32_t error);
