// The dialog's result table and success message, by their literal texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "result_table.h"

namespace {

struct Row {
    ResultCode result;
    const char* text;
    const char* caption;
    uint32_t icon;
};

const Row EXPECTED_ROWS[] = {
    {-7, "Kestrale returned an invalid response.", "Update failed", 0x10},
    {-6, "Device not found. Be sure it is connected and configured.", "Approved Device Not Connected", 0x10},
    {-11, "Firmware image is invalid or corrupt, or upload failed. (Ext. CS).", "Update failed", 0x10},
    {-12, "Firmware buffering failed. You may try again. If it fails, contact support.", "Update failed", 0x10},
    {-13, "Firmware image is invalid or corrupt. (Int. CS).", "Update failed", 0x10},
    {-14, "Invalid Image File. Firmware update not performed.", "Error!", 0x10},
    {-15, "Firmware failed during flash process.\nYou will need to cold-reboot the Kestrale and try again.",
     "Flash failed", 0x10},
    // Every other value takes the last row: the shared codes without a row of their own...
    {-1, "Update Failed!", "Error!", 0x10},
    {-2, "Update Failed!", "Error!", 0x10},
    {-3, "Update Failed!", "Error!", 0x10},
    {-4, "Update Failed!", "Error!", 0x10},
    {-5, "Update Failed!", "Error!", 0x10},
    {-8, "Update Failed!", "Error!", 0x10},
    {-17, "Update Failed!", "Error!", 0x10},
    {-18, "Update Failed!", "Error!", 0x10},
    // ...and values outside the shared table, positive ones included.
    {-9, "Update Failed!", "Error!", 0x10},
    {-10, "Update Failed!", "Error!", 0x10},
    {-16, "Update Failed!", "Error!", 0x10},
    {-20, "Update Failed!", "Error!", 0x10},
    {5, "Update Failed!", "Error!", 0x10},
    {INT32_MIN, "Update Failed!", "Error!", 0x10},
    {INT32_MAX, "Update Failed!", "Error!", 0x10},
};

TEST(ResultTable, EveryRowHasItsTextCaptionAndIcon) {
    for (const Row& row : EXPECTED_ROWS) {
        SCOPED_TRACE("result " + std::to_string(row.result));
        const ResultMessage message = LookupResultMessage(row.result);
        EXPECT_STREQ(message.text, row.text);
        EXPECT_STREQ(message.caption, row.caption);
        EXPECT_EQ(message.icon, row.icon);
    }
}

struct DisplayCase {
    ResultCode result;
    int32_t protocolFlags;
    ResultCode shown;
};

TEST(ResultTable, RefusalWithoutFirmwareCapabilityShowsTheNotConnectedRow) {
    const DisplayCase cases[] = {
        {-3, 1, -6},   // a Tamberlin (or nothing) identified: no flashable unit
        {-3, 0, -6},
        {-3, 2, -3},   // a capable unit answered '?': stays "Update Failed!"
        {-3, 3, -3},
        {-7, 1, -7},   // other results are never remapped
        {0, 1, 0},
        {-1, 0, -1},
    };
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE("result " + std::to_string(c.result) + " flags " + std::to_string(c.protocolFlags));
        EXPECT_EQ(ResultForDisplay(c.result, c.protocolFlags), c.shown);
    }
}

// The success texts themselves are checked through the dialog model (ui_dialog_model_test).
TEST(SuccessMessage, IsCutToTheBufferAndTerminated) {
    char text[12];
    std::memset(text, 'x', sizeof text);
    FormatSuccessMessage(KIND_KESTRALE, VersionTriple{1, 6, 'A'}, text, sizeof text);
    EXPECT_STREQ(text, "Update Succ");
}

}  // namespace
