// The record of what crossed an emulated line, and its one-line text form for trace files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TraceRecord {
    enum class Kind {
        FromHost,   // bytes the host wrote and the unit took
        Garbage,    // bytes the host wrote while its speed differed from the unit's
        FromUnit,   // bytes the unit sent
        Dropped,    // answer bytes not sent because the host's speed differed
        SpeedSet,   // the unit now talks at `speed`
        HangUp,     // the unit dropped the line
    };
    double seconds = 0;  // since the unit started
    Kind kind = Kind::FromHost;
    std::vector<uint8_t> bytes;
    int32_t speed = 0;
};

// "0.001234 H> 56 56", "0.001300 U> 01 05 41", "0.2 -- speed 921600", "-- hangup"; no newline.
std::string FormatTraceLine(const TraceRecord& record);
