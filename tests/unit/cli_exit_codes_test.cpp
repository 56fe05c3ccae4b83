// The exit code each device-link result leads to: scripts depend on these numbers.
#include <gtest/gtest.h>

#include "exit_codes.h"
#include "scan_verdict.h"

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

// How a search that found nothing ends: the ports' fault only when none could be opened.
TEST(CliExitCodes, ASearchWithoutAnAnswerBlamesThePortsOnlyWhenNoneOpened) {
    struct Case {
        std::vector<PortOutcome> outcomes;
        int exitCode;
        const char* headline;
    };
    const Case cases[] = {
        {{PortOutcome::NoSuchPort}, 5, "Port P0 cannot be used: no such port"},
        {{PortOutcome::Busy}, 5, "Port P0 cannot be used: busy"},
        {{PortOutcome::CannotOpen}, 5, "Port P0 cannot be used: cannot be opened"},
        {{PortOutcome::NoSuchPort, PortOutcome::Busy}, 5, "None of the ports could be opened."},
        {{PortOutcome::NoSuchPort, PortOutcome::NoAnswer}, 3, "Device not found."},
        {{PortOutcome::NoAnswer}, 3, "Device not found."},
        {{}, 3, "Device not found."},
    };
    for (const Case& c : cases) {
        std::vector<PortReport> reports;
        for (PortOutcome outcome : c.outcomes) {
            PortReport report;
            report.port.name = std::string("P").append(std::to_string(reports.size()));  // GCC 12 overlap warning
            report.outcome = outcome;
            reports.push_back(report);
        }
        const ScanVerdict verdict = NothingAnswered(reports);
        EXPECT_EQ(ToInt(verdict.exit), c.exitCode) << c.headline;
        EXPECT_EQ(verdict.headline.rfind(c.headline, 0), 0u) << verdict.headline;
    }
}

TEST(CliExitCodes, AUnitThatCannotTakeFirmwareIsNamedWithItsPort) {
    PortReport unit;
    unit.port.name = "COM3";
    unit.outcome = PortOutcome::Found;
    unit.description = "Tamberlin I v2.3.1";
    const ScanVerdict verdict = CannotTakeFirmware(unit);
    EXPECT_EQ(ToInt(verdict.exit), 3);
    EXPECT_EQ(verdict.headline, "Tamberlin I v2.3.1 on COM3 cannot take firmware.");
}

}  // namespace
