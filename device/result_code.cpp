// Which values are result codes at all: the table's codes and no other.
#include "result_code.h"

bool IsKnownResultCode(ResultCode code) {
    switch (code) {
        case RESULT_OK:
        case RESULT_FAILED:
        case RESULT_NOT_OPEN:
        case RESULT_REFUSED:
        case RESULT_WRITE_FAILED:
        case RESULT_READ_FAILED:
        case RESULT_BAD_RESPONSE:
        case RESULT_DEVICE_ERROR:
        case RESULT_EXT_CHECKSUM:
        case RESULT_BUFFERING_FAILED:
        case RESULT_INT_CHECKSUM:
        case RESULT_BAD_IMAGE:
        case RESULT_FLASH_FAILED:
        case RESULT_SHORT_READ:
        case RESULT_BAD_ARGUMENT:
            return true;
        default:
            return false;
    }
}
