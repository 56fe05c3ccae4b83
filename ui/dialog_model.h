// What the updater dialog decides, apart from how it is drawn.
//
// The dialog procedure (updater_dialog.cpp) owns the window calls; this class owns the
// states (Searching, Ready, Ready without device, Busy, Reporting, Ended) and turns each
// event into the texts to show, so the decisions are tested natively:
//   - close requests (IDCANCEL, WM_CLOSE) and a second "Update!" are refused while an
//     update runs or is being reported: a close would release the port under the worker;
//   - a worker that cannot be started is reported with the last row and the dialog is
//     ready again;
//   - the ampersand of "Grist & Pell" is doubled for the static control.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device_types.h"
#include "result_code.h"
#include "result_table.h"
#include "version_text.h"

enum class DialogState { Searching, Ready, ReadyWithoutDevice, Busy, Reporting, Ended };

constexpr size_t DESCRIPTION_CAPACITY = 260;  // the discovery's description buffer
constexpr size_t REPORT_TEXT_CAPACITY = 256;

constexpr const char* UPDATE_BUTTON_TEXT = "Update!";
constexpr const char* UPDATING_BUTTON_TEXT = "Updating...";
constexpr const char* VERSION_NOT_FOUND_TEXT = "Not Found";

// What WM_INITDIALOG shows after the start-up discovery.
struct StartupView {
    bool deviceFound;  // false: close the port, keep the template's "Not Found!" description
    char firmwareVersion[VERSION_TEXT_CAPACITY];
    // Escaped for a static control without SS_NOPREFIX; empty when not found.
    char hardwareDescription[2 * DESCRIPTION_CAPACITY];
};

// The message box of one result, and the version to show beside it.
struct ReportView {
    char text[REPORT_TEXT_CAPACITY];
    const char* caption;
    uint32_t icon;
    bool updateFirmwareVersion;  // when true, show firmwareVersion in IDC_FW_VERSION
    char firmwareVersion[VERSION_TEXT_CAPACITY];
};

class UpdaterDialogModel {
public:
    DialogState state = DialogState::Searching;

    // Searching -> Ready (a Kestrale or Grist & Pell: kind & 0x03) or Ready without device.
    StartupView OnStartupDiscovery(DeviceKind kind, const VersionTriple& version, const char* description);

    // "Update!" (or Enter): true moves to Busy and the caller starts the worker; false
    // (an update is running or being reported) means ignore the command.
    bool BeginUpdate();

    // IDCANCEL or WM_CLOSE: true moves to Ended and the caller ends the dialog; false
    // means the request is ignored (Busy or Reporting).
    bool RequestClose();

    // True while an update runs or its result is being shown (Busy, Reporting).
    bool UpdateInProgress() const { return state == DialogState::Busy || state == DialogState::Reporting; }

    // The worker could not be started: Busy -> Reporting with the last row.
    ReportView OnWorkerNotStarted();

    // After a success the caller identifies the unit again before calling OnUpdateDone.
    static bool NeedsReidentification(ResultCode result) { return result == RESULT_OK; }

    // The worker's result arrived: Busy -> Reporting. protocolFlags is the link's at this
    // moment; kindAfter/versionAfter are the re-identification's (ignored unless success).
    ReportView OnUpdateDone(ResultCode result, int32_t protocolFlags, DeviceKind kindAfter,
                            const VersionTriple& versionAfter);

    // The user closed the message box: Reporting -> the Ready state the update began in.
    void OnReportClosed();

private:
    DialogState readyState = DialogState::ReadyWithoutDevice;
};
