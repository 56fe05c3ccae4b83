#include "trace.h"

#include <cstdio>

std::string FormatTraceLine(const TraceRecord& record) {
    char head[48];
    std::snprintf(head, sizeof head, "%.6f ", record.seconds);
    std::string line = head;
    const char* tag = "";
    switch (record.kind) {
        case TraceRecord::Kind::FromHost: tag = "H>"; break;
        case TraceRecord::Kind::Garbage: tag = "H?"; break;
        case TraceRecord::Kind::FromUnit: tag = "U>"; break;
        case TraceRecord::Kind::Dropped: tag = "U?"; break;
        case TraceRecord::Kind::SpeedSet: return line + "-- speed " + std::to_string(record.speed);
        case TraceRecord::Kind::HangUp: return line + "-- hangup";
    }
    line += tag;
    for (uint8_t b : record.bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    return line;
}
