// Why a search found no unit it could use, as one exit code and one headline.
//
// The rules: every port failed to open (a port named with --port that is absent, busy or
// not permitted, or a scan where nothing could be opened) is the port's fault (5); some
// ports opened and nothing answered is "Device not found" (3), naming the failures; a
// unit that answered but cannot take firmware is said as such (3).
#pragma once
#include <string>
#include <vector>

#include "exit_codes.h"
#include "port_probe.h"

struct ScanVerdict {
    ExitCode exit;
    std::string headline;
    std::string detail;
};

// Whether the port could not even be opened and configured.
bool FailedToOpen(const PortReport& report);
// The end of a search in which no port answered (reports may be empty).
ScanVerdict NothingAnswered(const std::vector<PortReport>& reports);
// The end for a unit that answered but cannot take firmware (or is of an unknown model):
// "Tamberlin I v2.3.1 on COM3 cannot take firmware".
ScanVerdict CannotTakeFirmware(const PortReport& unit);
