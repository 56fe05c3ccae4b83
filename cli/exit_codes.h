// The tool's exit codes, and which one a device-link result leads to.
//
// Scripts act on these numbers, so they never change meaning; --help lists them.
#pragma once
#include "result_code.h"

enum class ExitCode : int {
    Success = 0,
    Usage = 2,          // the command line could not be understood
    NoUnit = 3,         // no unit answered, or the unit cannot take firmware
    BadImage = 4,       // the image's check byte is wrong, or it is empty or too large
    PortFailure = 5,    // the port or a file could not be used (-1, -2, -4, -5)
    UnitFailure = 6,    // the unit refused or reported a failure
    Interrupted = 7,    // stopped by the user (Ctrl-C)
};

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

// The exit code for a device-link result. A code the link never returns counts as a
// port failure: something below the tool went wrong, not the unit.
ExitCode ExitCodeForResult(ResultCode result);


// The exit-code table as --help prints it.
const char* ExitCodeHelpText();
