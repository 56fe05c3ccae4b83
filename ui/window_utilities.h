// Two small window operations of the updater dialog (Windows only).
#pragma once
#include <windows.h>

constexpr int PICKER_PATH_CAPACITY = 260;   // file buffer, terminator included
constexpr int PICKER_TITLE_CAPACITY = 100;  // file-title buffer, terminator included

// Moves window to the centre of reference (the desktop when reference is null), keeping
// its size, Z order and activation state.
void CenterWindow(HWND window, HWND reference);

// Runs the open-file picker. path (PICKER_PATH_CAPACITY characters) holds the initial
// file name and receives the chosen path; fileTitle (PICKER_TITLE_CAPACITY, may be null)
// receives the bare name. initialFolder (may be null or empty: the platform's default)
// is where the picker opens; one trailing backslash is removed from it as from path,
// except from a root ("C:\\" stays a root: TrimInitialFolder).
// Without a filter there is no default extension either. True when a file was chosen.
bool ShowOpenFileDialog(HWND owner, char* path, char* fileTitle, const char* title, DWORD filterIndex,
                        const char* filter, const char* defaultExtension, const char* initialFolder);
