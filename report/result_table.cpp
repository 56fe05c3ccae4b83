#include "result_table.h"

#include <cstdio>

#include "version_text.h"

namespace {

struct ResultRow {
    ResultCode result;
    ResultMessage message;
};

constexpr ResultRow RESULT_ROWS[] = {
    {RESULT_BAD_RESPONSE, {"Kestrale returned an invalid response.", "Update failed", MESSAGE_ICON_ERROR}},
    {RESULT_NO_APPROVED_DEVICE,
     {"Device not found. Be sure it is connected and configured.", "Approved Device Not Connected",
      MESSAGE_ICON_ERROR}},
    {RESULT_EXT_CHECKSUM,
     {"Firmware image is invalid or corrupt, or upload failed. (Ext. CS).", "Update failed", MESSAGE_ICON_ERROR}},
    {RESULT_BUFFERING_FAILED,
     {"Firmware buffering failed. You may try again. If it fails, contact support.", "Update failed",
      MESSAGE_ICON_ERROR}},
    {RESULT_INT_CHECKSUM, {"Firmware image is invalid or corrupt. (Int. CS).", "Update failed", MESSAGE_ICON_ERROR}},
    {RESULT_BAD_IMAGE, {"Invalid Image File. Firmware update not performed.", "Error!", MESSAGE_ICON_ERROR}},
    {RESULT_FLASH_FAILED,
     {"Firmware failed during flash process.\nYou will need to cold-reboot the Kestrale and try again.",
      "Flash failed", MESSAGE_ICON_ERROR}},
};

constexpr ResultMessage LAST_ROW = {"Update Failed!", "Error!", MESSAGE_ICON_ERROR};


}  // namespace

ResultMessage LookupResultMessage(ResultCode result) {
    for (const ResultRow& row : RESULT_ROWS) {
        if (row.result == result) return row.message;
    }
    return LAST_ROW;
}

ResultCode ResultForDisplay(ResultCode result, int32_t protocolFlags) {
    if (result == RESULT_REFUSED && (protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) == 0) return RESULT_NO_APPROVED_DEVICE;
    return result;
}

void FormatSuccessMessage(DeviceKind kindAfterUpdate, const VersionTriple& version, char* text, size_t capacity) {
    if (text == nullptr || capacity == 0) return;
    if (kindAfterUpdate == 0) {
        std::snprintf(text, capacity, "%s", SUCCESS_VERSION_UNREAD_TEXT);
        return;
    }
    char versionText[VERSION_TEXT_CAPACITY];
    FormatVersionText(version, versionText, sizeof versionText);
    std::snprintf(text, capacity, "%s%s", SUCCESS_TEXT_PREFIX, versionText);
}
