// The exit code each device-link result leads to: scripts depend on these numbers.
#include <gtest/gtest.h>

#include "exit_codes.h"

namespace {

struct ExitCase {
    ResultCode result;
    int exitCode;
    const char* name;
};

TEST(CliExitCodes, EveryResultHasItsExitCodeAndName) {
    const ExitCase cases[] = {
        {RESULT_OK, 0, "RESULT_OK"},
        {RESULT_FAILED, 5, "RESULT_FAILED"},
        {RESULT_NOT_OPEN, 5, "RESULT_NOT_OPEN"},
        {RESULT_REFUSED, 6, "RESULT_REFUSED"},
        {RESULT_WRITE_FAILED, 5, "RESULT_WRITE_FAILED"},
        {RESULT_READ_FAILED, 5, "RESULT_READ_FAILED"},
        {RESULT_BAD_RESPONSE, 6, "RESULT_BAD_RESPONSE"},
        {RESULT_DEVICE_ERROR, 6, "RESULT_DEVICE_ERROR"},
        {RESULT_EXT_CHECKSUM, 6, "RESULT_EXT_CHECKSUM"},
        {RESULT_BUFFERING_FAILED, 6, "RESULT_BUFFERING_FAILED"},
        {RESULT_INT_CHECKSUM, 6, "RESULT_INT_CHECKSUM"},
        {RESULT_BAD_IMAGE, 4, "RESULT_BAD_IMAGE"},
        {RESULT_FLASH_FAILED, 6, "RESULT_FLASH_FAILED"},
        {RESULT_SHORT_READ, 6, "RESULT_SHORT_READ"},
        {RESULT_BAD_ARGUMENT, 5, "RESULT_BAD_ARGUMENT"},
        {-6, 5, "unknown result"},
        {-9, 5, "unknown result"},
        {5, 5, "unknown result"},
    };
    for (const ExitCase& c : cases) {
        EXPECT_EQ(ToInt(ExitCodeForResult(c.result)), c.exitCode) << c.result;
        EXPECT_STREQ(ResultCodeName(c.result), c.name) << c.result;
    }
}

TEST(CliExitCodes, HelpListsEveryExitCode) {
    const std::string help = ExitCodeHelpText();
    for (const char* line : {"  0  success", "  2  usage error", "  3  no unit found", "  4  bad image",
                             "  5  port or I/O failure", "  6  the unit refused", "  7  interrupted"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

}  // namespace
