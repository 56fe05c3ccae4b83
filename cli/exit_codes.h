// The tool's exit codes, and which one a device-link result leads to.
//
// Scripts act on these numbers, so from the first published package on they never change
// meaning; --help and README list them. They moved once, before that package, so that one
// cause always gives one code (README lists those moves).
#pragma once
#include "result_code.h"

enum class ExitCode : int {
    Success = 0,
    Usage = 2,          // the command line could not be understood
    NoUnit = 3,         // nothing answered, or the unit found cannot take firmware
    BadImage = 4,       // the image cannot be used: missing, unreadable, not a file, bad
    PortFailure = 5,    // the port: absent, busy, not permitted, I/O, a speed it cannot run
    UnitFailure = 6,    // the unit refused (a speed change included) or reported a failure
    Interrupted = 7,    // stopped by the user (Ctrl-C, Ctrl-Break) or by SIGTERM
};

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

// The exit code for a device-link result. A code the link never returns counts as a
// port failure: something below the tool went wrong, not the unit.
ExitCode ExitCodeForResult(ResultCode result);


// The exit-code table as --help prints it.
const char* ExitCodeHelpText();
