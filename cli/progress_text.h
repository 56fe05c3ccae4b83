// The words and figures of upload progress: a terminal bar, a plain line, a JSON object.
// Pure functions of a snapshot, so they are tested without a clock or a terminal.
#pragma once
#include <cstdint>
#include <string>

#include "json_line.h"

struct ProgressFigures {
    uint32_t bytesDone = 0;
    uint32_t bytesTotal = 0;
    double elapsedSeconds = 0;  // since the transfer began

    // 0 to 100; 100 for an empty total.
    int Percent() const;
    // Bytes per second so far; negative while unknown (nothing sent or no time passed).
    double BytesPerSecond() const;
    // At the rate so far; negative while the rate is unknown.
    double SecondsLeft() const;
};

// "1:05" (minutes and seconds) or "1:02:03"; "--:--" for a negative value.
std::string FormatDuration(double seconds);
// "512 B/s", "11.2 KiB/s"; "-- B/s" for a negative value.
std::string FormatRate(double bytesPerSecond);
// "[##########..........]  32768/65536 bytes  50%  11.2 KiB/s  0:03 left", the bar
// barWidth characters wide between its brackets.
std::string FormatProgressBar(const ProgressFigures& figures, int barWidth);
// "progress: 32768/65536 bytes (50%), 11.2 KiB/s, 0:03 left"
std::string FormatProgressLine(const ProgressFigures& figures);
// {"event":"progress","bytes":...,"total":...,"percent":...,"bytes_per_second":...,
//  "seconds_left":...}; the last two null while unknown.
JsonLine ProgressJson(const ProgressFigures& figures);
