// The updater dialog's procedure (Windows only): finds the unit when it opens, starts an
// update on a worker thread, reports each result, closes the port when it ends.
#pragma once
#include <windows.h>

#include <type_traits>

// The worker's completion message: wParam 0, lParam the update's ResultCode.
constexpr UINT WM_UPDATE_DONE = WM_APP;
static_assert(WM_UPDATE_DONE == 0x8000);

class DeviceLink;

// The link the dialog works with, handed over before the dialog is created and kept
// alive until it ends (the application owns it).
void UseDeviceLink(DeviceLink* link);

INT_PTR CALLBACK UpdaterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// DialogBoxParamA gets the procedure without a cast; on i686 the calling convention is
// part of this type.
static_assert(std::is_same_v<decltype(&UpdaterDialogProc), DLGPROC>,
              "UpdaterDialogProc must be a dialog procedure");
