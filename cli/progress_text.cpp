#include "progress_text.h"

#include <cmath>
#include <cstdio>
#include <limits>

int ProgressFigures::Percent() const {
    if (bytesTotal == 0) return 100;
    const uint64_t done = bytesDone > bytesTotal ? bytesTotal : bytesDone;
    return static_cast<int>(done * 100 / bytesTotal);
}

double ProgressFigures::BytesPerSecond() const {
    if (bytesDone == 0 || elapsedSeconds <= 0) return -1;
    return bytesDone / elapsedSeconds;
}

double ProgressFigures::SecondsLeft() const {
    const double rate = BytesPerSecond();
    if (rate <= 0) return -1;
    const double remaining = bytesDone >= bytesTotal ? 0 : static_cast<double>(bytesTotal - bytesDone);
    return remaining / rate;
}

std::string FormatDuration(double seconds) {
    if (seconds < 0 || !std::isfinite(seconds)) return "--:--";
    const auto whole = static_cast<long long>(std::ceil(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::string FormatRate(double bytesPerSecond) {
    if (bytesPerSecond < 0 || !std::isfinite(bytesPerSecond)) return "-- B/s";
    char text[32];
    if (bytesPerSecond < 1024)
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    else
        std::snprintf(text, sizeof text, "%.1f KiB/s", bytesPerSecond / 1024);
    return text;
}

std::string FormatProgressBar(const ProgressFigures& figures, int barWidth) {
    if (barWidth < 1) barWidth = 1;
    const int filled = figures.Percent() * barWidth / 100;
    std::string bar;
    bar.reserve(static_cast<size_t>(barWidth) + 2);
    bar.push_back('[');
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(barWidth - filled), '.');
    bar.push_back(']');
    char text[160];
    std::snprintf(text, sizeof text, "  %u/%u bytes  %3d%%  %s  %s left", figures.bytesDone, figures.bytesTotal,
                  figures.Percent(), FormatRate(figures.BytesPerSecond()).c_str(),
                  FormatDuration(figures.SecondsLeft()).c_str());
    bar.append(text);
    return bar;
}

std::string FormatProgressLine(const ProgressFigures& figures) {
    char text[160];
    std::snprintf(text, sizeof text, "progress: %u/%u bytes (%d%%), %s, %s left", figures.bytesDone,
                  figures.bytesTotal, figures.Percent(), FormatRate(figures.BytesPerSecond()).c_str(),
                  FormatDuration(figures.SecondsLeft()).c_str());
    return text;
}

JsonLine ProgressJson(const ProgressFigures& figures) {
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    const double rate = figures.BytesPerSecond();
    const double left = figures.SecondsLeft();
    JsonLine line;
    line.Add("event", "progress")
        .Add("bytes", figures.bytesDone)
        .Add("total", figures.bytesTotal)
        .Add("percent", static_cast<int64_t>(figures.Percent()))
        .Add("bytes_per_second", rate < 0 ? unknown : rate)
        .Add("seconds_left", left < 0 ? unknown : left);
    return line;
}
