#include "path_text.h"

#include <cstring>

void RemoveOneTrailingBackslash(char* text) {
    if (text == nullptr) return;
    const size_t length = std::strlen(text);
    if (length > 0 && text[length - 1] == '\\') text[length - 1] = '\0';
}

void FolderOfPath(const char* path, char* folder, size_t capacity) {
    if (folder == nullptr || capacity == 0) return;
    folder[0] = '\0';
    if (path == nullptr) return;
    const char* lastSeparator = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') lastSeparator = p;
    }
    if (lastSeparator == nullptr) return;
    // The folder with its separator, e.g. "C:\fw\"; the caller's rule trims one backslash.
    const size_t length = static_cast<size_t>(lastSeparator - path) + 1;
    if (length >= capacity) return;
    std::memcpy(folder, path, length);
    folder[length] = '\0';
}

void TrimInitialFolder(char* folder) {
    if (folder == nullptr) return;
    const size_t length = std::strlen(folder);
    const bool rootOfCurrentDrive = length == 1 && folder[0] == '\\';
    const bool driveRoot = length == 3 && folder[1] == ':' && folder[2] == '\\';
    if (rootOfCurrentDrive || driveRoot) return;
    RemoveOneTrailingBackslash(folder);
}

bool EscapeAmpersands(const char* text, char* out, size_t capacity) {
    if (out == nullptr || capacity == 0) return false;
    size_t used = 0;
    for (const char* p = text == nullptr ? "" : text; *p != '\0'; ++p) {
        const size_t needed = (*p == '&') ? 2 : 1;
        if (used + needed >= capacity) {
            out[used] = '\0';
            return false;
        }
        out[used++] = *p;
        if (*p == '&') out[used++] = '&';
    }
    out[used] = '\0';
    return true;
}
