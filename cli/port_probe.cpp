#include "port_probe.h"

#include <cstdio>

#include "port_access.h"

namespace {

const char* OutcomeName(PortOutcome outcome) {
    switch (outcome) {
    case PortOutcome::BadName: return "bad_name";
    case PortOutcome::NoSuchPort: return "no_such_port";
    case PortOutcome::Busy: return "busy";
    case PortOutcome::CannotOpen: return "cannot_open";
    case PortOutcome::CannotConfigure: return "cannot_configure";
    case PortOutcome::NoAnswer: return "no_answer";
    case PortOutcome::UnknownUnit: return "unknown_unit";
    case PortOutcome::Found: return "found";
    }
    return "unknown";
}

std::string WithOsError(const char* words, uint32_t error) {
    const std::string text = OsErrorText(error);
    return text.empty() ? words : std::string(words) + " (" + text + ")";
}

}  // namespace

std::string OsErrorText(uint32_t error) {
    if (error == 0) return "";
    char text[256] = {};
    SerialErrorText(error, text, sizeof text);
    std::string result = text;
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' ||
                               result.back() == '.'))
        result.pop_back();
    return result;
}

namespace {

PortOutcome OutcomeOfProbe(ProbeState state) {
    switch (state) {
    case ProbeState::Found: return PortOutcome::Found;
    case ProbeState::UnknownUnit: return PortOutcome::UnknownUnit;
    case ProbeState::NoAnswer: return PortOutcome::NoAnswer;
    case ProbeState::CannotConfigure: return PortOutcome::CannotConfigure;
    case ProbeState::NoSuchPort: return PortOutcome::NoSuchPort;
    case ProbeState::Busy: return PortOutcome::Busy;
    case ProbeState::CannotOpen: return PortOutcome::CannotOpen;
    }
    return PortOutcome::CannotOpen;
}

}  // namespace

PortReport ProbePort(DeviceLink& link, const PortCandidate& port, SpeedSearchRule rule) {
    PortReport report;
    report.port = port;
    report.linkName = PortNameForLink(port.name, &report.problem);
    if (report.linkName.empty()) {
        report.outcome = PortOutcome::BadName;
        return report;
    }
    ProbeOutcome probe = link.ProbePort(report.linkName.c_str());
    if (probe.state == ProbeState::NoAnswer && rule == SpeedSearchRule::AlsoFastSpeeds) {
        report.searchedSpeeds = true;
        const SpeedSearch search = link.SearchOtherSpeeds();
        report.foundAtSpeed = search.foundAt;
        report.backAtBase = search.backAtBase;
        // Identified afresh at 115200, as discovery would have found it there.
        if (search.foundAt != 0 && search.backAtBase) probe = link.ProbePort(report.linkName.c_str());
    }
    report.outcome = OutcomeOfProbe(probe.state);
    report.osError = probe.osError;
    report.kind = probe.kind;
    report.version = probe.version;
    report.description = probe.description;
    return report;
}

SpeedSearchRule SearchRuleFor(bool portsNamed) {
    return portsNamed ? SpeedSearchRule::AlsoFastSpeeds : SpeedSearchRule::BaseSpeedOnly;
}

std::string SpeedSearchAccount(const PortReport& report) {
    if (report.foundAtSpeed == 0 || report.foundAtSpeed == BASE_SPEED_BPS) return "";
    const std::string where = "found at " + std::to_string(report.foundAtSpeed) + " bit/s, where an earlier run left it";
    if (report.backAtBase) return where + "; back at 115200";
    return where + ", but it did not take the switch back to 115200; power-cycle it";
}

std::string DescribeOutcome(const PortReport& report) {
    switch (report.outcome) {
    case PortOutcome::BadName: return "cannot be used: " + report.problem;
    case PortOutcome::NoSuchPort: return WithOsError("no such port", report.osError);
    case PortOutcome::Busy: return WithOsError("busy: in use by another program", report.osError);
    case PortOutcome::CannotOpen: {
        const std::string hint = PortPermissionHint(report.linkName, report.osError);
        return WithOsError("cannot be opened", report.osError) + (hint.empty() ? "" : "; " + hint);
    }
    case PortOutcome::CannotConfigure: return "opened, but refused the line settings";
    case PortOutcome::NoAnswer:
        if (report.foundAtSpeed != 0 && !report.backAtBase) return SpeedSearchAccount(report);
        return report.searchedSpeeds ? "no answer at 115200, 921600, 460800 or 230400 bit/s"
                                     : "no answer at 115200; try --port to look at the fast speeds";
    case PortOutcome::UnknownUnit:
        return "a unit answered with version " + VersionText(report.version) + ", which is not a known model";
    case PortOutcome::Found: {
        const std::string account = SpeedSearchAccount(report);
        return "found: " + report.description + (account.empty() ? "" : " (" + account + ")");
    }
    }
    return "";
}

JsonLine PortReportJson(const PortReport& report) {
    JsonLine line;
    line.Add("port", report.port.name).Add("link_name", report.linkName).Add("label", report.port.label);
    line.Add("state", OutcomeName(report.outcome)).Add("text", DescribeOutcome(report));
    if (report.osError != 0) line.Add("os_error", report.osError).Add("os_error_text", OsErrorText(report.osError));
    if (report.searchedSpeeds) line.Add("found_at_speed", report.foundAtSpeed).Add("back_at_115200", report.backAtBase);
    if (report.Answered()) {
        line.Add("kind", report.kind).Add("description", report.description);
        line.Add("version", VersionText(report.version));
    }
    return line;
}

JsonLine UnitEventJson(const PortReport& unit) {
    JsonLine line;
    line.Add("event", "unit").Add("port", unit.port.name).Add("link_name", unit.linkName).Add("kind", unit.kind);
    line.Add("description", unit.description).Add("version", VersionText(unit.version));
    return line;
}
