#include "unit_answer_text.h"

#include "answer_tables.h"

namespace {

// " ('E')" for the final status byte that ends an upload with this result.
std::string ByteOf(ResultCode result) {
    const uint8_t status = FinalStatusOfResult(result);
    return status == 0 ? "" : std::string(" ('") + static_cast<char>(status) + "')";
}

}  // namespace

std::string UnitAnswerText(ResultCode result) {
    switch (result) {
    case RESULT_REFUSED: return "the unit refused the image" + ByteOf(result);
    case RESULT_BAD_RESPONSE:
        return "the unit's answer was missing or not the expected one, or it ended with '" +
               std::string(1, static_cast<char>(FinalStatusOfResult(result))) + "'";
    case RESULT_EXT_CHECKSUM: return "the unit found the transfer checksum wrong" + ByteOf(result);
    case RESULT_BUFFERING_FAILED: return "the unit could not buffer the image" + ByteOf(result);
    case RESULT_INT_CHECKSUM: return "the unit found the image's internal checksum wrong" + ByteOf(result);
    case RESULT_FLASH_FAILED: return "the unit failed while programming its flash" + ByteOf(result);
    case RESULT_WRITE_FAILED: return "writing to the port failed";
    case RESULT_READ_FAILED: return "reading from the port or the image failed";
    case RESULT_NOT_OPEN: return "the port is not open";
    case RESULT_FAILED: return "the image file could not be opened or read";
    default: return "";
    }
}
