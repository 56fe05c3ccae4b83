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
           "  3  no unit found, or the unit cannot take firmware\n"
           "  4  bad image: wrong check byte (-14), empty, or larger than 65536 bytes\n"
           "  5  port or I/O failure (-1, -2, -4, -5)\n"
           "  6  the unit refused or reported a failure (-3, -7, -8, -11, -12, -13, -15, -17)\n"
           "  7  interrupted by the user (Ctrl-C)\n";
}
