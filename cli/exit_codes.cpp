#include "exit_codes.h"

ExitCode ExitCodeForResult(ResultCode result) {
    switch (result) {
    case RESULT_OK:
        return ExitCode::Success;
    case RESULT_BAD_IMAGE:
        return ExitCode::BadImage;
    case RESULT_REFUSED:
    case RESULT_BAD_RESPONSE:
    case RESULT_DEVICE_ERROR:
    case RESULT_EXT_CHECKSUM:
    case RESULT_BUFFERING_FAILED:
    case RESULT_INT_CHECKSUM:
    case RESULT_FLASH_FAILED:
    case RESULT_SHORT_READ:
        return ExitCode::UnitFailure;
    case RESULT_FAILED:
    case RESULT_NOT_OPEN:
    case RESULT_WRITE_FAILED:
    case RESULT_READ_FAILED:
    default:
        return ExitCode::PortFailure;
    }
}

const char* ExitCodeHelpText() {
    return "Exit codes:\n"
           "  0  success\n"
           "  2  usage error\n"
           "  3  no unit found: nothing answered (the failed ports are named), or the unit found cannot take\n"
           "     firmware\n"
           "  4  bad image: missing, unreadable, not a regular file, empty, larger than 65536 bytes, or a\n"
           "     wrong check byte (-14)\n"
           "  5  port or I/O failure: no such port, in use, no permission, a speed the port cannot run\n"
           "     (-1, -2, -4, -5); for a port named with --port, or when no port of a scan could be opened\n"
           "  6  the unit refused or reported a failure, a refused speed change included\n"
           "     (-3, -7, -8, -11, -12, -13, -15, -17)\n"
           "  7  interrupted by the user (Ctrl-C, Ctrl-Break) or by SIGTERM\n";
}
