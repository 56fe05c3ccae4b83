// The four commands. Each reports through the Output and returns the exit code.
#pragma once
#include <vector>

#include "cli_options.h"
#include "log.h"
#include "output.h"
#include "port_names.h"

struct RunContext {
    const CliOptions& options;
    const Output& out;
    LogSink* logSink;                  // null without --log
    std::vector<PortCandidate> ports;  // the scan order
};

int RunList(const RunContext& context);
int RunInfo(const RunContext& context);
int RunCheck(const RunContext& context);
int RunFlash(const RunContext& context);
// flash --all: every unit found that can take firmware, at once; the image checked already.
int RunFlashAll(const RunContext& context, const struct ImageSummary& image);

// The scan list in one line, for "nothing found" details: "/dev/ttyUSB0: no answer; ...".
std::string ScanAccount(const std::vector<struct PortReport>& reports);
