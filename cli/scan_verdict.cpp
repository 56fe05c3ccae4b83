#include "scan_verdict.h"

#include "commands.h"

bool FailedToOpen(const PortReport& report) {
    switch (report.outcome) {
    case PortOutcome::BadName:
    case PortOutcome::NoSuchPort:
    case PortOutcome::Busy:
    case PortOutcome::CannotOpen:
    case PortOutcome::CannotConfigure:
        return true;
    case PortOutcome::NoAnswer:
    case PortOutcome::UnknownUnit:
    case PortOutcome::Found:
        break;
    }
    return false;
}

ScanVerdict NothingAnswered(const std::vector<PortReport>& reports) {
    bool allFailed = !reports.empty();
    for (const PortReport& report : reports) allFailed = allFailed && FailedToOpen(report);
    if (!allFailed)
        return {ExitCode::NoUnit, "Device not found. Be sure it is connected and configured.", ScanAccount(reports)};
    if (reports.size() == 1) {
        const PortReport& only = reports.front();
        return {ExitCode::PortFailure, "Port " + only.ShownName() + " cannot be used: " + DescribeOutcome(only) + ".",
                ""};
    }
    return {ExitCode::PortFailure, "None of the ports could be opened.", ScanAccount(reports)};
}

ScanVerdict CannotTakeFirmware(const PortReport& unit) {
    if (unit.outcome == PortOutcome::UnknownUnit)
        return {ExitCode::NoUnit,
                "The unit on " + unit.ShownName() + " answers with version " + VersionText(unit.version) +
                    ", not a known model, so it cannot take firmware.",
                ""};
    const std::string what = unit.description.empty() ? std::string("The unit") : unit.description;
    return {ExitCode::NoUnit, what + " on " + unit.ShownName() + " cannot take firmware.", ""};
}
