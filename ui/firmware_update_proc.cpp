#include "firmware_update_proc.h"

#include <commctrl.h>

namespace {

void SendToProgressBar(void* context, ProgressEvent event, int32_t value) {
    HWND bar = static_cast<HWND>(context);
    switch (event) {
        case ProgressEvent::SetRange:
            // Minimum 0 in the low word, the maximum (blocks + 1, at most 257) in the high word.
            SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(value)));
            break;
        case ProgressEvent::SetStep:
            SendMessageA(bar, PBM_SETSTEP, static_cast<WPARAM>(value), 0);
            break;
        case ProgressEvent::SetPos:
            SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
            break;
        case ProgressEvent::StepIt:
            SendMessageA(bar, PBM_STEPIT, 0, 0);
            break;
    }
}

}  // namespace

ProgressTarget ProgressBarTarget(HWND progressBar) {
    ProgressTarget target;
    if (progressBar != nullptr) {
        target.notify = SendToProgressBar;
        target.context = progressBar;
    }
    return target;
}

DWORD WINAPI FirmwareUpdateProc(LPVOID parameter) {
    const UpdateRequest* request = static_cast<const UpdateRequest*>(parameter);
    const ProgressTarget progress = ProgressBarTarget(request->progressBar);
    const ResultCode result =
        request->link->UploadFirmware(request->imagePath, request->progressBar != nullptr ? &progress : nullptr);
    WriteLog(request->link->logSink, "FirmwareUpdateProc completed with result: %i", result);
    // Returns only after the dialog has shown the result; the link is no longer used here.
    SendMessageA(request->dialogWindow, request->completionMessage, 0, static_cast<LPARAM>(result));
    return 1;
}
