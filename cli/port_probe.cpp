#include "port_probe.h"

#include <cstdio>


namespace {

constexpr size_t DESCRIPTION_CAPACITY = 64;

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

bool AllZero(const VersionTriple& version) {
    return version.major == 0 && version.minor == 0 && version.letter == 0;
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

PortReport ProbePort(DeviceLink& link, const PortCandidate& port) {
    PortReport report;
    report.port = port;
    report.linkName = PortNameForLink(port.name, &report.problem);
    if (report.linkName.empty()) {
        report.outcome = PortOutcome::BadName;
        return report;
    }
    const char* names[] = {report.linkName.c_str()};
    char description[DESCRIPTION_CAPACITY] = {};
    link.lastOsError = 0;
    report.kind = link.DiscoverDevice(description, sizeof description, &report.version, PortList{names, 1});
    report.description = description;
    if (report.kind != 0) {
        report.outcome = PortOutcome::Found;
    } else if (link.portOpen == 1) {
        // Discovery zeroes the version when no unit answered.
        report.outcome = AllZero(report.version) ? PortOutcome::NoAnswer : PortOutcome::UnknownUnit;
    } else if (link.portHandle != nullptr) {
        report.outcome = PortOutcome::CannotConfigure;
    } else {
        report.osError = link.lastOsError;
        if (SerialErrorIsNoSuchPort(report.osError)) report.outcome = PortOutcome::NoSuchPort;
        else if (SerialErrorIsBusy(report.osError)) report.outcome = PortOutcome::Busy;
        else report.outcome = PortOutcome::CannotOpen;
    }
    return report;
}

int FindUnit(DeviceLink& link, const std::vector<PortCandidate>& ports, std::vector<PortReport>* reports) {
    for (const PortCandidate& port : ports) {
        reports->push_back(ProbePort(link, port));
        if (reports->back().Answered()) return static_cast<int>(reports->size()) - 1;
    }
    return -1;
}

std::string DescribeOutcome(const PortReport& report) {
    switch (report.outcome) {
    case PortOutcome::BadName: return "cannot be used: " + report.problem;
    case PortOutcome::NoSuchPort: return WithOsError("no such port", report.osError);
    case PortOutcome::Busy: return WithOsError("busy", report.osError);
    case PortOutcome::CannotOpen: return WithOsError("cannot be opened", report.osError);
    case PortOutcome::CannotConfigure: return "opened, but refused the line settings";
    case PortOutcome::NoAnswer: return "no answer";
    case PortOutcome::UnknownUnit:
        return "a unit answered with version " + VersionText(report.version) + ", which is not a known model";
    case PortOutcome::Found: return "found: " + report.description;
    }
    return "";
}

JsonLine PortReportJson(const PortReport& report) {
    JsonLine line;
    line.Add("port", report.port.name).Add("link_name", report.linkName).Add("label", report.port.label);
    line.Add("state", OutcomeName(report.outcome)).Add("text", DescribeOutcome(report));
    if (report.osError != 0) line.Add("os_error", report.osError).Add("os_error_text", OsErrorText(report.osError));
    if (report.Answered()) {
        line.Add("kind", report.kind).Add("description", report.description);
        line.Add("version", VersionText(report.version));
    }
    return line;
}
