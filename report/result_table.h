// The words the dialog shows for an update's result: message text, caption, icon.
//
// Pure data and lookups, no window code, so they are tested natively. The icon values
// are the MessageBoxA flags; the Windows code checks that they match <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device_types.h"
#include "result_code.h"

constexpr uint32_t MESSAGE_ICON_INFORMATION = 0x40;  // MB_ICONINFORMATION
constexpr uint32_t MESSAGE_ICON_ERROR = 0x10;        // MB_ICONERROR (= MB_ICONHAND, MB_ICONSTOP)

// Shown for an update refused because no flashable unit is identified. No device
// operation returns it; the dialog maps such a refusal to it (ResultForDisplay).
constexpr ResultCode RESULT_NO_APPROVED_DEVICE = -6;

struct ResultMessage {
    const char* text;
    const char* caption;
    uint32_t icon;
};

// The row for a failed update; every code without a row of its own gets the last one
// ("Update Failed!", "Error!"). RESULT_OK has no fixed text: see FormatSuccessMessage.
ResultMessage LookupResultMessage(ResultCode result);

// The row the user should see: a refusal (-3) while the link lacks the firmware
// capability (protocolFlags bit 0x02) means no flashable unit was identified, which the
// -6 row explains; a '?' from a capable unit stays -3.
ResultCode ResultForDisplay(ResultCode result, int32_t protocolFlags);

constexpr const char* SUCCESS_CAPTION = "Success";
constexpr const char* SUCCESS_TEXT_PREFIX = "Update Successful. New version is ";
// After a success on which no unit answered the re-identification.
constexpr const char* SUCCESS_VERSION_UNREAD_TEXT =
    "Update Successful. The new firmware version could not be read.";

// The success message into text (capacity bytes, always terminated when capacity > 0):
// the prefix and the version text when a unit answered (kind != 0), otherwise the
// "could not be read" text, never an old version passed off as the new one.
void FormatSuccessMessage(DeviceKind kindAfterUpdate, const VersionTriple& version, char* text,
                          size_t capacity);
