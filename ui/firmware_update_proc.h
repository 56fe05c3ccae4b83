// The worker thread of one firmware update (Windows only): the request the dialog fills,
// the thread procedure, and the adapter that turns the upload's progress notifications
// into progress-bar messages.
#pragma once
#include <windows.h>

#include <type_traits>

#include "device_link.h"

constexpr int IMAGE_PATH_CAPACITY = 260;

// Filled by the dialog just before it starts the worker; the worker only reads it, and
// it must not change until the worker has sent its completion message.
struct UpdateRequest {
    DeviceLink* link;
    HWND dialogWindow;
    UINT completionMessage;
    HWND progressBar;  // may be null: no progress messages
    char imagePath[IMAGE_PATH_CAPACITY];
};

// A ProgressTarget that drives progressBar with PBM_SETRANGE, PBM_SETSTEP, PBM_SETPOS
// and PBM_STEPIT sent by SendMessageA. A null window gives a target that sends nothing.
ProgressTarget ProgressBarTarget(HWND progressBar);

// Thread start routine: uploads request->imagePath through request->link, logs
// "FirmwareUpdateProc completed with result: %i", sends completionMessage (wParam 0,
// lParam the ResultCode) to dialogWindow and returns 1 once the dialog has handled it.
DWORD WINAPI FirmwareUpdateProc(LPVOID request);

// CreateThread gets the procedure without a cast, and this holds its type to the thread
// start's: on i686 a missing WINAPI (stdcall) is a different type, not a silent mismatch.
static_assert(std::is_same_v<decltype(&FirmwareUpdateProc), LPTHREAD_START_ROUTINE>,
              "FirmwareUpdateProc must be a thread start routine");
