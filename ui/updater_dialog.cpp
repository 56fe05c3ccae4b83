// UpdaterDialogProc carries out what UpdaterDialogModel decides. It runs on the user-
// interface thread only; the worker reaches it through SendMessageA (progress bar
// messages, then WM_UPDATE_DONE), so nothing here is shared without that ordering.
#include "updater_dialog.h"

#include "dialog_model.h"
#include "firmware_update_proc.h"
#include "path_text.h"
#include "resource.h"
#include "window_utilities.h"

static_assert(MESSAGE_ICON_INFORMATION == MB_ICONINFORMATION);
static_assert(MESSAGE_ICON_ERROR == MB_ICONERROR);

namespace {

constexpr const char PICKER_TITLE[] = "Select Firmware Image...";
constexpr const char PICKER_FILTER[] = "Drusel FW Image Files (*.enc)\0*.enc\0All Files (*.*)\0*.*\0";
constexpr const char PICKER_DEFAULT_EXTENSION[] = "enc";

UpdaterDialogModel dialogModel;
char deviceDescription[DESCRIPTION_CAPACITY];
UpdateRequest updateRequest;

DeviceLink* dialogLink = nullptr;

DeviceLink& Link() { return *dialogLink; }

void EnableButtons(HWND dialog, bool enabled) {
    EnableWindow(GetDlgItem(dialog, IDOK), enabled ? TRUE : FALSE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), enabled ? TRUE : FALSE);
}

// Runs discovery and shows what it found, as at start-up: a flashable unit with its
// version and description, or "Not Found" / "Not Found!" with the port closed. The
// buttons are disabled by the caller; the window does not respond meanwhile (five silent
// ports take 0.75 s: script/bench-rescan).
StartupView Discover(HWND dialog, bool atStartup) {
    VersionTriple version{};
    deviceDescription[0] = '\0';  // discovery appends to what the buffer holds
    const DeviceKind kind = Link().DiscoverDevice(deviceDescription, sizeof deviceDescription, &version);
    const StartupView view = atStartup ? dialogModel.OnStartupDiscovery(kind, version, deviceDescription)
                                       : dialogModel.OnRescan(kind, version, deviceDescription);
    if (!view.deviceFound) Link().ClosePort();
    SetDlgItemTextA(dialog, IDC_FW_VERSION, view.firmwareVersion);
    SetDlgItemTextA(dialog, IDC_HW_DESCRIPTION, view.hardwareDescription);
    return view;
}

void SetSessionEndBlocked(HWND dialog, bool blocked) {
    // Only a hint for the shutdown screen; the refusal itself is WM_QUERYENDSESSION's answer.
    if (blocked) {
        ShutdownBlockReasonCreate(dialog, SESSION_END_BLOCK_REASON);
    } else {
        ShutdownBlockReasonDestroy(dialog);
    }
}

// Shows one result (owned by the dialog) and makes the dialog ready for the next update,
// after a rescan when the fields may show a unit that is gone.
void Report(HWND dialog, const ReportView& view) {
    if (view.updateFirmwareVersion) SetDlgItemTextA(dialog, IDC_FW_VERSION, view.firmwareVersion);
    MessageBoxA(dialog, view.text, view.caption, MB_OK | view.icon);
    if (dialogModel.NeedsRescanAfterReport()) Discover(dialog, /*atStartup=*/false);
    SetDlgItemTextA(dialog, IDOK, UPDATE_BUTTON_TEXT);
    EnableButtons(dialog, true);
    dialogModel.OnReportClosed();
}

void OnInitDialog(HWND dialog) {
    CenterWindow(dialog, nullptr);
    Discover(dialog, /*atStartup=*/true);
}

void OnUpdate(HWND dialog) {
    if (!dialogModel.BeginUpdate()) return;  // one worker at a time, never under the picker
    SetDlgItemTextA(dialog, IDOK, UPDATING_BUTTON_TEXT);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);

    // A unit plugged in after start-up, or one that came back on another port, is found
    // here; without one nothing is started.
    if (dialogModel.NeedsRescanBeforeUpdate(Link().portOpen != 0)) {
        Discover(dialog, /*atStartup=*/false);
        if (!dialogModel.FlashableUnitIdentified()) {
            Report(dialog, dialogModel.OnNoUnitForUpdate());
            return;
        }
    }

    GetDlgItemTextA(dialog, IDC_IMAGE_PATH, updateRequest.imagePath, IMAGE_PATH_CAPACITY);
    updateRequest.link = &Link();
    updateRequest.progressBar = GetDlgItem(dialog, IDC_PROGRESS);
    updateRequest.dialogWindow = dialog;
    updateRequest.completionMessage = WM_UPDATE_DONE;

    // Before the thread exists: a session end must not slip in between.
    dialogModel.OnWorkerStarted();
    SetSessionEndBlocked(dialog, true);
    HANDLE worker = CreateThread(nullptr, 0, FirmwareUpdateProc, &updateRequest, 0, nullptr);
    if (worker == nullptr) {
        SetSessionEndBlocked(dialog, false);
        Report(dialog, dialogModel.OnWorkerNotStarted());
        return;
    }
    // The worker runs detached; keeping the handle would leak one per update.
    CloseHandle(worker);
}

void ShowResult(HWND dialog, ResultCode result) {
    DeviceKind kindAfter = 0;
    VersionTriple versionAfter{};
    // The worker no longer uses the link: it waits in SendMessageA, or has ended (a result
    // held while the picker was open).
    if (UpdaterDialogModel::NeedsReidentification(result)) kindAfter = Link().DiscoverDevice(nullptr, 0, &versionAfter);
    Report(dialog, dialogModel.OnUpdateDone(result, Link().protocolFlags, kindAfter, versionAfter));
}

void OnBrowse(HWND dialog) {
    if (!dialogModel.BeginBrowse()) return;
    char path[PICKER_PATH_CAPACITY] = {};
    // The picker opens in the folder of the path already typed, if it names one.
    char current[PICKER_PATH_CAPACITY] = {};
    char folder[PICKER_PATH_CAPACITY] = {};
    GetDlgItemTextA(dialog, IDC_IMAGE_PATH, current, sizeof current);
    FolderOfPath(current, folder, sizeof folder);
    if (ShowOpenFileDialog(dialog, path, nullptr, PICKER_TITLE, 0, PICKER_FILTER, PICKER_DEFAULT_EXTENSION, folder)) {
        SetDlgItemTextA(dialog, IDC_IMAGE_PATH, path);
    }
    // A result that arrived while the picker was open is shown now, over the dialog alone.
    ResultCode held = RESULT_OK;
    if (dialogModel.EndBrowse(&held)) ShowResult(dialog, held);
}

void OnCancel(HWND dialog) {
    if (dialogModel.RequestClose()) EndDialog(dialog, 0);
}

void OnUpdateDone(HWND dialog, ResultCode result) {
    // The update has ended, whether or not its result can be shown yet.
    SetSessionEndBlocked(dialog, false);
    // While the picker is open the result waits for it to close; the worker may end.
    if (dialogModel.OnResultArrived(result)) ShowResult(dialog, result);
}

// WM_QUERYENDSESSION: refused while an update runs (a unit left half-programmed), the
// default answer (yes) otherwise.
INT_PTR OnQueryEndSession(HWND dialog) {
    if (!dialogModel.RefusesSessionEnd()) return FALSE;
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

}  // namespace

void UseDeviceLink(DeviceLink* link) { dialogLink = link; }

INT_PTR CALLBACK UpdaterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: OnUpdate(dialog); break;
                case IDCANCEL: OnCancel(dialog); break;
                case IDC_BROWSE: OnBrowse(dialog); break;
                default: break;
            }
            return FALSE;
        case WM_CLOSE:
            // Alt+F4 and the close box: refused (handled) while an update runs or the
            // picker is open, otherwise the dialog manager turns it into IDCANCEL.
            return dialogModel.UpdateInProgress() || dialogModel.PickerOpen() ? TRUE : FALSE;
        case WM_QUERYENDSESSION:
            return OnQueryEndSession(dialog);
        case WM_DESTROY:
            // Never release the port under a running worker (only a forced destroy gets
            // here then); the application's exit handler releases it.
            if (!dialogModel.UpdateInProgress()) Link().ClosePort();
            return FALSE;
        case WM_UPDATE_DONE:
            OnUpdateDone(dialog, static_cast<ResultCode>(lParam));
            return FALSE;
        default:
            return FALSE;
    }
}
