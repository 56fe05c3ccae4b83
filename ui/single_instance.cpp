#include "single_instance.h"

#include <windows.h>

namespace {

// Per session: another user's updater on the same machine has its own ports to itself
// only as far as Windows lets it, and is none of this one's business.
constexpr const char INSTANCE_MUTEX_NAME[] = "Local\\Drusel.FirmwareUpdateUtility.Instance";
constexpr const char DIALOG_CLASS[] = "#32770";
constexpr const char DIALOG_CAPTION[] = "Drusel Firmware Update Utility v1.0";
// The first instance may still be starting (its window appears once WM_INITDIALOG has
// created it); a window of another process has no event to wait on.
constexpr DWORD FIND_DIALOG_MS = 5000;
constexpr DWORD FIND_DIALOG_POLL_MS = 50;

HWND FindFirstDialog() {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND dialog = FindWindowA(DIALOG_CLASS, DIALOG_CAPTION);
        if (dialog != nullptr || GetTickCount() - start >= FIND_DIALOG_MS) return dialog;
        Sleep(FIND_DIALOG_POLL_MS);
    }
}

void BringToFront(HWND dialog) {
    if (IsIconic(dialog)) ShowWindow(dialog, SW_RESTORE);
    // A message box or the picker in front of the dialog is what the user must answer.
    HWND front = GetLastActivePopup(dialog);
    SetForegroundWindow(front != nullptr ? front : dialog);
}

}  // namespace

bool ClaimSingleInstance() {
    // Never closed: the mark goes with the process.
    HANDLE mark = CreateMutexA(nullptr, FALSE, INSTANCE_MUTEX_NAME);
    if (mark == nullptr) return true;  // no mark to be had: do not stand in the user's way
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    CloseHandle(mark);
    HWND first = FindFirstDialog();
    if (first != nullptr) BringToFront(first);
    return false;
}
