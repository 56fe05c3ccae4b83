// What the updater dialog decides, apart from how it is drawn.
//
// The dialog procedure (updater_dialog.cpp) owns the window calls; this class owns the
// states (Searching, Ready, Ready without device, Busy, Reporting, Ended) and turns each
// event into the texts to show, so the decisions are tested natively:
//   - close requests (IDCANCEL, WM_CLOSE) and a second "Update!" are refused while an
//     update runs or is being reported: a close would release the port under the worker;
//   - a worker that cannot be started is reported with the last row and the dialog is
//     ready again;
//   - the ampersand of "Grist & Pell" is doubled for the static control;
//   - discovery runs again when the dialog cannot be right: on "Update!" with no flashable
//     unit open, and once a result is closed after a port failure (-1, -2, -4, -5) or a
//     success whose re-identification found nothing; an update whose rescan found no
//     flashable unit is not started and is reported with the -6 row;
//   - one window at a time: while the picker is open, a result is held back until it
//     closes, and close requests, "Update!" and a second picker are ignored;
//   - the session may not end while an update runs.
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
constexpr const char* DESCRIPTION_NOT_FOUND_TEXT = "Not Found!";  // the template's text
// Given with the refusal of WM_QUERYENDSESSION while an update runs.
constexpr const wchar_t* SESSION_END_BLOCK_REASON = L"Updating the unit's firmware. Please wait until it finishes.";

// What the two fields show after a discovery (at start-up or a rescan).
struct StartupView {
    bool deviceFound;  // false: close the port
    char firmwareVersion[VERSION_TEXT_CAPACITY];
    // Escaped for a static control without SS_NOPREFIX; the template's "Not Found!" when
    // not found (a description that discovery wrote is not shown).
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

    // "Update!" (or Enter): true moves to Busy and the caller goes on; false (an update
    // is running or being reported, or the picker is open) means ignore the command.
    bool BeginUpdate();

    // Busy, before the worker starts: true when discovery must run first because no
    // flashable unit is open (none was identified, or the link's port is not open).
    bool NeedsRescanBeforeUpdate(bool portOpen) const;

    // A rescan's outcome (before an update, or after a result was closed): the fields to
    // show and the Ready state to return to. The state itself does not change.
    StartupView OnRescan(DeviceKind kind, const VersionTriple& version, const char* description);

    // True when a flashable unit was identified by the last discovery (or re-identified
    // after the last success).
    bool FlashableUnitIdentified() const { return flashableUnit; }

    // The rescan before an update found no flashable unit: Busy -> Reporting with the
    // -6 row; no worker is started.
    ReportView OnNoUnitForUpdate();

    // The worker was started: the session may not end until its result arrives.
    void OnWorkerStarted() { workerRunning = true; }

    // IDCANCEL or WM_CLOSE: true moves to Ended and the caller ends the dialog; false
    // means the request is ignored (Busy, Reporting, or the picker is open).
    bool RequestClose();

    // True while an update runs or its result is being shown (Busy, Reporting).
    bool UpdateInProgress() const { return state == DialogState::Busy || state == DialogState::Reporting; }

    // True from the worker's start until its result arrives: WM_QUERYENDSESSION is refused.
    bool RefusesSessionEnd() const { return workerRunning; }

    // "...": true means open the picker; false (it is open already, or a result is being
    // shown) means ignore the command. EndBrowse follows every true.
    bool BeginBrowse();
    bool PickerOpen() const { return pickerOpen; }

    // The worker's result arrived. True: handle it now. False: the picker is open; the
    // result is held and EndBrowse hands it over when the picker closes.
    bool OnResultArrived(ResultCode result);

    // The picker closed. True (and *result) when a result arrived meanwhile: handle it now.
    bool EndBrowse(ResultCode* result);

    // The worker could not be started: Busy -> Reporting with the last row.
    ReportView OnWorkerNotStarted();

    // After a success the caller identifies the unit again before calling OnUpdateDone.
    static bool NeedsReidentification(ResultCode result) { return result == RESULT_OK; }

    // After this result (and, for a success, the re-identification's kind) the fields may
    // show a unit that is gone: discovery runs again once the result is closed.
    static bool NeedsRescanAfter(ResultCode result, DeviceKind kindAfter);

    // The worker's result is to be shown: Busy -> Reporting. protocolFlags is the link's at
    // this moment; kindAfter/versionAfter are the re-identification's (ignored unless
    // success).
    ReportView OnUpdateDone(ResultCode result, int32_t protocolFlags, DeviceKind kindAfter,
                            const VersionTriple& versionAfter);

    // After the message box closed: true when discovery must run before the dialog is
    // Ready again (then OnRescan, then OnReportClosed).
    bool NeedsRescanAfterReport() const { return state == DialogState::Reporting && rescanAfterReport; }

    // The user closed the message box (and any rescan is done): Reporting -> Ready, or
    // Ready without device.
    void OnReportClosed();

private:
    DialogState readyState = DialogState::ReadyWithoutDevice;
    bool flashableUnit = false;
    bool workerRunning = false;
    bool rescanAfterReport = false;
    bool pickerOpen = false;
    bool resultHeld = false;
    ResultCode heldResult = RESULT_OK;

    StartupView ApplyDiscovery(DeviceKind kind, const VersionTriple& version, const char* description);
};
