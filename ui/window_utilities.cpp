#include "window_utilities.h"

#include <commdlg.h>

#include <cstddef>
#include <cstdio>

#include "centering.h"
#include "path_text.h"

// The picker gets the record without the fields later platform versions added:
// OPENFILENAME_SIZE_VERSION_400A, never a literal (76 on the 32-bit product, 136 on
// x86_64, where 76 makes the picker fail). The macro is not a constant expression (it
// casts a null pointer), so the checks spell out its definition.
constexpr size_t OPEN_FILE_NAME_400_SIZE = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
#if defined(_WIN64)
static_assert(OPEN_FILE_NAME_400_SIZE == 136);
#else
static_assert(OPEN_FILE_NAME_400_SIZE == 76, "the 32-bit picker record must be 76 bytes");
#endif

namespace {

ScreenRect WindowRectangle(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

void CenterWindow(HWND window, HWND reference) {
    if (reference == nullptr) reference = GetDesktopWindow();
    const ScreenRect referenceRect = WindowRectangle(reference);
    const ScreenRect windowRect = WindowRectangle(window);
    const ScreenPoint position = CenteredPosition(referenceRect, windowRect);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ShowOpenFileDialog(HWND owner, char* path, char* fileTitle, const char* title, DWORD filterIndex,
                        const char* filter, const char* defaultExtension, const char* initialFolder) {
    char folder[PICKER_PATH_CAPACITY] = {};
    if (initialFolder != nullptr) std::snprintf(folder, sizeof folder, "%s", initialFolder);
    TrimInitialFolder(folder);
    RemoveOneTrailingBackslash(path);

    OPENFILENAMEA record{};
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    if (filter != nullptr) {
        record.lpstrFilter = filter;
        record.lpstrDefExt = defaultExtension;
    }
    record.hwndOwner = owner;
    record.lpstrFile = path;
    record.nMaxFile = PICKER_PATH_CAPACITY;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = PICKER_TITLE_CAPACITY;
    record.lpstrTitle = title;
    record.nFilterIndex = filterIndex;
    record.lpstrInitialDir = folder[0] != '\0' ? folder : nullptr;
    // A typed name of a missing file comes back after the user agrees to create it; the
    // picker creates nothing. OFN_OVERWRITEPROMPT acts only in save pickers.
    record.Flags = OFN_CREATEPROMPT | OFN_OVERWRITEPROMPT;
    return GetOpenFileNameA(&record) != FALSE;
}
