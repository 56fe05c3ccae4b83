// The exit code each device-link result leads to: scripts depend on these numbers.
#include <gtest/gtest.h>

#include "exit_codes.h"
#include "flash_summary.h"
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

// flash --all: exit 0 only when every unit succeeded, else the first failure in port order.
TEST(CliExitCodes, SeveralUnitsEndWithTheFirstFailureInPortOrder) {
    const auto unit = [](const char* port, ExitCode exit, const char* headline, const char* detail) {
        UnitResult result;
        result.report.port.name = port;
        result.report.description = "Kestrale USB v1.5.A";
        result.report.version = {1, 5, 'A'};
        result.end = FlashEnd(exit, headline, detail, true, exit == ExitCode::Success ? "01.06.A" : "");
        return result;
    };
    struct Case {
        std::vector<UnitResult> results;
        int exitCode;
        const char* headline;
    };
    const Case cases[] = {
        {{unit("p1", ExitCode::Success, "", ""), unit("p2", ExitCode::Success, "", "")}, 0,
         "All 2 units were updated."},
        {{unit("p1", ExitCode::Success, "", ""), unit("p2", ExitCode::PortFailure, "Comm Write Failed", "p2: gone"),
          unit("p3", ExitCode::UnitFailure, "Update Failed!", "")},
         5, "1 of 3 units were updated."},
        {{unit("p1", ExitCode::Interrupted, "Interrupted", "Stopped after block 3 of 79")}, 7,
         "0 of 1 units were updated."},
    };
    for (const Case& c : cases) {
        const FlashVerdict verdict = VerdictOf(c.results);
        EXPECT_EQ(ToInt(verdict.exit), c.exitCode) << c.headline;
        EXPECT_EQ(verdict.headline, c.headline);
    }
    const std::string table = SummaryTable(cases[1].results);
    EXPECT_NE(table.find("p1    Kestrale USB v1.5.A  01.05.A -> 01.06.A  updated"), std::string::npos) << table;
    EXPECT_NE(table.find("\np2: gone\n"), std::string::npos) << "a detail naming its port is not prefixed again: " << table;
    EXPECT_EQ(ResultWords(cases[1].results[2]), "Update Failed!");
}

}  // namespace
