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

StartupView UpdaterDialogModel::OnStartupDiscovery(DeviceKind kind, const VersionTriple& version,
                                                   const char* description) {
    StartupView view{};
    view.deviceFound = (kind & KIND_FLASHABLE_MASK) != 0;
    if (view.deviceFound) {
        FormatVersionText(version, view.firmwareVersion, sizeof view.firmwareVersion);
        EscapeAmpersands(description, view.hardwareDescription, sizeof view.hardwareDescription);
        state = readyState = DialogState::Ready;
    } else {
        std::snprintf(view.firmwareVersion, sizeof view.firmwareVersion, "%s", VERSION_NOT_FOUND_TEXT);
        state = readyState = DialogState::ReadyWithoutDevice;
    }
    return view;
}

bool UpdaterDialogModel::BeginUpdate() {
    if (state != DialogState::Ready && state != DialogState::ReadyWithoutDevice) return false;
    state = DialogState::Busy;
    return true;
}

bool UpdaterDialogModel::RequestClose() {
    if (UpdateInProgress()) return false;
    state = DialogState::Ended;
    return true;
}

ReportView UpdaterDialogModel::OnWorkerNotStarted() {
    state = DialogState::Reporting;
    // A code no row names: the last row, "Update Failed!" / "Error!".
    return FailureReport(RESULT_FAILED);
}

ReportView UpdaterDialogModel::OnUpdateDone(ResultCode result, int32_t protocolFlags, DeviceKind kindAfter,
                                            const VersionTriple& versionAfter) {
    state = DialogState::Reporting;
    if (result != RESULT_OK) return FailureReport(ResultForDisplay(result, protocolFlags));

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
    if (state == DialogState::Reporting) state = readyState;
}
