#include "flash_summary.h"

#include <algorithm>
#include <cstdio>

#include "version_text.h"

namespace {

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

bool Succeeded(const UnitResult& result) { return result.end.exit == ExitCode::Success; }

}  // namespace

std::string ResultWords(const UnitResult& result) {
    if (!Succeeded(result)) return result.end.headline;
    if (result.end.newVersion.empty()) return "updated, new version not read";
    return result.end.newVersion == VersionText(result.report.version) ? "updated, version unchanged" : "updated";
}

std::string SummaryTable(const std::vector<UnitResult>& results) {
    std::vector<std::vector<std::string>> cells = {{"Port", "Unit", "Version", "Result", "Time"}};
    for (const UnitResult& result : results) {
        const std::string after = result.end.newVersion.empty() ? "?" : result.end.newVersion;
        const std::string version =
            VersionText(result.report.version) + (Succeeded(result) ? " -> " + after : std::string());
        cells.push_back({result.report.ShownName(), result.report.description, version, ResultWords(result),
                         Seconds(result.seconds)});
    }
    std::vector<size_t> widths(5, 0);
    for (const auto& row : cells)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    std::string text;
    for (const auto& row : cells) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) line += (c == 0 ? "" : "  ") + Padded(row[c], c + 1 < row.size() ? widths[c] : 0);
        text += line + "\n";
    }
    for (const UnitResult& result : results) {
        if (Succeeded(result) || result.end.detail.empty()) continue;
        // Most failure details name their port already.
        const std::string port = result.report.ShownName() + ": ";
        text += (result.end.detail.rfind(port, 0) == 0 ? "" : port) + result.end.detail + "\n";
    }
    return text;
}

JsonLine UnitResultJson(const UnitResult& result) {
    JsonLine line;
    line.Add("event", "unit_result").Add("port", result.report.port.name).Add("link_name", result.report.linkName);
    line.Add("description", result.report.description).Add("old_version", VersionText(result.report.version));
    line.Add("exit", static_cast<int64_t>(ToInt(result.end.exit))).Add("message", result.end.headline);
    line.Add("detail", result.end.detail).Add("unit_seconds", result.seconds);
    const std::string more = result.extra.Text();
    if (more.size() > 2) line.AddRaw("flash", more);
    return line;
}

FlashVerdict VerdictOf(const std::vector<UnitResult>& results) {
    FlashVerdict verdict{ExitCode::Success, "", ""};
    const UnitResult* firstFailure = nullptr;
    for (const UnitResult& result : results) {
        if (Succeeded(result)) ++verdict.updated;
        else if (firstFailure == nullptr) firstFailure = &result;
    }
    const std::string counts = std::to_string(verdict.updated) + " of " + std::to_string(results.size());
    if (firstFailure == nullptr) {
        verdict.headline = results.size() == 1 ? "The unit was updated." : "All " + std::to_string(results.size()) + " units were updated.";
        return verdict;
    }
    verdict.exit = firstFailure->end.exit;
    verdict.headline = counts + " units were updated.";
    verdict.detail = "The first to fail: " + firstFailure->report.ShownName() + ": " + firstFailure->end.headline;
    return verdict;
}
