#include "dialog_model.h"

#include <cstdio>

#include "path_text.h"

namespace {

ReportView FailureReport(ResultCode result) {
    const ResultMessage message = LookupResultMessage(result);
    ReportView view{};
    std::snprintf(view.text, sizeof view.text, "%s", message.text);
    view.caption = message.caption;
    view.icon = message.icon;
    return view;
}

}  // namespace

StartupView UpdaterDialogModel::ApplyDiscovery(DeviceKind kind, const VersionTriple& version,
                                               const char* description) {
    StartupView view{};
    view.deviceFound = (kind & KIND_FLASHABLE_MASK) != 0;
    flashableUnit = view.deviceFound;
    if (view.deviceFound) {
        FormatVersionText(version, view.firmwareVersion, sizeof view.firmwareVersion);
        EscapeAmpersands(description, view.hardwareDescription, sizeof view.hardwareDescription);
        readyState = DialogState::Ready;
    } else {
        std::snprintf(view.firmwareVersion, sizeof view.firmwareVersion, "%s", VERSION_NOT_FOUND_TEXT);
        std::snprintf(view.hardwareDescription, sizeof view.hardwareDescription, "%s", DESCRIPTION_NOT_FOUND_TEXT);
        readyState = DialogState::ReadyWithoutDevice;
    }
    return view;
}

StartupView UpdaterDialogModel::OnStartupDiscovery(DeviceKind kind, const VersionTriple& version,
                                                   const char* description) {
    const StartupView view = ApplyDiscovery(kind, version, description);
    state = readyState;
    return view;
}

StartupView UpdaterDialogModel::OnRescan(DeviceKind kind, const VersionTriple& version, const char* description) {
    return ApplyDiscovery(kind, version, description);
}

bool UpdaterDialogModel::BeginUpdate() {
    if (pickerOpen) return false;
    if (state != DialogState::Ready && state != DialogState::ReadyWithoutDevice) return false;
    state = DialogState::Busy;
    return true;
}

bool UpdaterDialogModel::NeedsRescanBeforeUpdate(bool portOpen) const {
    return state == DialogState::Busy && (!flashableUnit || !portOpen);
}

ReportView UpdaterDialogModel::OnNoUnitForUpdate() {
    state = DialogState::Reporting;
    rescanAfterReport = false;  // the rescan has just been made
    return FailureReport(RESULT_NO_APPROVED_DEVICE);
}

bool UpdaterDialogModel::RequestClose() {
    if (UpdateInProgress() || pickerOpen) return false;
    state = DialogState::Ended;
    return true;
}

bool UpdaterDialogModel::BeginBrowse() {
    if (pickerOpen || state == DialogState::Reporting || state == DialogState::Searching ||
        state == DialogState::Ended) {
        return false;
    }
    pickerOpen = true;
    return true;
}

bool UpdaterDialogModel::OnResultArrived(ResultCode result) {
    workerRunning = false;
    if (!pickerOpen) return true;
    resultHeld = true;
    heldResult = result;
    return false;
}

bool UpdaterDialogModel::EndBrowse(ResultCode* result) {
    pickerOpen = false;
    if (!resultHeld) return false;
    resultHeld = false;
    if (result != nullptr) *result = heldResult;
    return true;
}

ReportView UpdaterDialogModel::OnWorkerNotStarted() {
    state = DialogState::Reporting;
    workerRunning = false;
    rescanAfterReport = false;
    // A code no row names: the last row, "Update Failed!" / "Error!".
    return FailureReport(RESULT_FAILED);
}

bool UpdaterDialogModel::NeedsRescanAfter(ResultCode result, DeviceKind kindAfter) {
    switch (result) {
        case RESULT_FAILED:
        case RESULT_NOT_OPEN:
        case RESULT_WRITE_FAILED:
        case RESULT_READ_FAILED:
            return true;  // the port (or the unit behind it) may be gone
        case RESULT_OK:
            return kindAfter == 0;
        default:
            return false;  // the unit answered: it is still there
    }
}

ReportView UpdaterDialogModel::OnUpdateDone(ResultCode result, int32_t protocolFlags, DeviceKind kindAfter,
                                            const VersionTriple& versionAfter) {
    state = DialogState::Reporting;
    workerRunning = false;
    rescanAfterReport = NeedsRescanAfter(result, kindAfter);
    if (result != RESULT_OK) return FailureReport(ResultForDisplay(result, protocolFlags));

    // What answers now is what the link holds: a Tamberlin after the update cannot take
    // the next one without a rescan.
    flashableUnit = (kindAfter & KIND_FLASHABLE_MASK) != 0;
    ReportView view{};
    FormatSuccessMessage(kindAfter, versionAfter, view.text, sizeof view.text);
    view.caption = SUCCESS_CAPTION;
    view.icon = MESSAGE_ICON_INFORMATION;
    // Any unit that answers counts here; with none, the version shown before stays.
    view.updateFirmwareVersion = kindAfter != 0;
    if (view.updateFirmwareVersion) FormatVersionText(versionAfter, view.firmwareVersion, sizeof view.firmwareVersion);
    return view;
}

void UpdaterDialogModel::OnReportClosed() {
    rescanAfterReport = false;
    if (state == DialogState::Reporting) state = readyState;
}
