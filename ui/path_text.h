// Text rules of the open-file picker and the static controls, apart from window code.
#pragma once
#include <cstddef>

// Removes one trailing backslash, if the text is not empty and ends with one.
void RemoveOneTrailingBackslash(char* text);

// The folder part of path, up to and including its last '\\' or '/' ("C:\\fw\\" for
// "C:\\fw\\a.enc"), into folder. Empty when path names no folder or the folder does not
// fit in capacity. The picker takes it as its initial folder, trimmed by
// TrimInitialFolder.
void FolderOfPath(const char* path, char* folder, size_t capacity);

// The picker's rule for its initial folder: one trailing backslash goes, as for the file
// name, unless what is left would no longer be a root. "C:\\" stays (bare "C:" means the
// drive's current directory, not its root) and so does "\\" (the current drive's root,
// not "no folder").
void TrimInitialFolder(char* folder);

// Copies text into out with every '&' doubled, so a static control without SS_NOPREFIX
// shows it as written instead of taking it as a mnemonic. Returns false (and writes a
// cut, still escaped and terminated text) when out is too small.
bool EscapeAmpersands(const char* text, char* out, size_t capacity);
