#include "unit_answer_text.h"

#include <cstdio>

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

std::string AnswerByteText(uint8_t byte) {
    char text[16];
    if (byte >= 0x20 && byte < 0x7F) std::snprintf(text, sizeof text, "0x%02X ('%c')", byte, static_cast<char>(byte));
    else std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string VersionUnchangedText(const std::string& version) {
    return "Update Successful. The version is still " + version + ", the same as before the update.";
}

std::string UnlistedFinalStatusText(uint8_t status) {
    return "The unit ended with " + AnswerByteText(status) +
           ", which is not one of its documented answers; by its contract that counts as success.";
}

std::string UnlistedBlockAnswersText(uint32_t count, uint32_t blocks, uint8_t first) {
    if (count == 0) return "";
    return std::to_string(count) + " of " + std::to_string(blocks) + (blocks == 1 ? " block" : " blocks") +
           (count == 1 ? " was answered with a byte that is not one of the unit's documented answers ("
                       : " were answered with bytes that are not among the unit's documented answers (the first ") +
           AnswerByteText(first) + "); the upload went on, as the unit's contract has it.";
}
