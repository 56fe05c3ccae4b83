// list: every port, and what is on it.
#include "commands.h"
#include "parallel_scan.h"
#include "scan_verdict.h"

std::string ScanAccount(const std::vector<PortReport>& reports) {
    std::string text;
    for (const PortReport& report : reports) {
        if (!text.empty()) text += "; ";
        text += report.ShownName() + ": " + DescribeOutcome(report);
    }
    return text.empty() ? "no ports to try" : text;
}

int RunList(const RunContext& context) {
    const Output& out = context.out;
    int found = 0;
    PortScan scan(context.ports, SpeedSearchRule::BaseSpeedOnly, context.logSink);
    scan.ReleaseAll();
    const std::vector<PortReport> reports = scan.Reports();
    for (const PortReport& report : reports) {
        const PortCandidate& port = report.port;
        if (report.Answered()) ++found;
        out.Say(report.ShownName() + (port.label.empty() ? "" : " [" + port.label + "]") + ": " + DescribeOutcome(report));
        JsonLine line = PortReportJson(report);
        out.Emit(JsonLine().Add("event", "port").AddRaw("report", line.Text()));
    }
    JsonLine extra;
    extra.Add("ports", static_cast<int64_t>(context.ports.size())).Add("units", static_cast<int64_t>(found));
    if (context.ports.empty())
        return out.Finish("list", ExitCode::NoUnit, "No serial ports found.", "Name one with --port.", extra);
    if (found == 0) {
        // The lines above named each port already.
        const ScanVerdict verdict = NothingAnswered(reports);
        return out.Finish("list", verdict.exit, verdict.headline, "", extra);
    }
    return out.Finish("list", ExitCode::Success, "", "", extra);
}
