// The command line: drusel-update [options] list|info|check IMAGE|flash IMAGE [--dry-run].
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class CliCommand { None, List, Info, Check, Flash };

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::string imagePath;
    bool dryRun = false;
    bool all = false;   // flash every unit found
    bool yes = false;   // no question before flashing several units
    std::vector<std::string> ports;  // empty: the system's default ports
    int32_t speed = 115200;
    bool log = false;
    bool json = false;
    bool quiet = false;
    bool portNames = false;  // --port-names: print the scan's port names and stop
};

// Parses argv. Returns -1 when the command (or --port-names) should run, otherwise the
// exit code to end with at once (0 after --help or --version, 2 for a usage error),
// having printed what the user needs.
int ParseCommandLine(int argc, char** argv, CliOptions* options);

const char* CommandName(CliCommand command);
