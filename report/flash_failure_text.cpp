#include "flash_failure_text.h"

#include "answer_tables.h"
#include "protocol.h"
#include "unit_answer_text.h"

namespace {

std::string Quoted(uint8_t byte) {
    if (byte >= 0x20 && byte < 0x7F) return std::string("'") + static_cast<char>(byte) + "'";
    char hex[8];
    static const char digits[] = "0123456789ABCDEF";
    hex[0] = '0', hex[1] = 'x', hex[2] = digits[byte >> 4], hex[3] = digits[byte & 0xF], hex[4] = '\0';
    return hex;
}

std::string BlockOf(const UploadAccount& a) {
    return "block " + std::to_string(a.block) + " of " + std::to_string(a.blocksTotal);
}

std::string StepText(const UploadAccount& a) {
    switch (a.endedAt) {
    case UploadStep::None: return "before anything was sent";
    case UploadStep::Header: return "at the upload header";
    case UploadStep::Block: return "at " + BlockOf(a);
    case UploadStep::FinalStatus: return "at the final status, after the last block";
    }
    return "";
}

bool PortFailure(ResultCode result) {
    return result == RESULT_WRITE_FAILED || result == RESULT_READ_FAILED || result == RESULT_NOT_OPEN ||
           result == RESULT_FAILED;
}

// What failed, with the step.
std::string WhatFailed(const UploadAccount& a, const std::string& osErrorText) {
    if (a.endedByStrayByte)
        return "the unit sent " + Quoted(a.strayEndingByte) + " before " + BlockOf(a) +
               " was written, which ends an upload (" + UnitAnswerText(a.result) + ")";
    if (PortFailure(a.result)) {
        const std::string os = osErrorText.empty() ? "" : " (" + osErrorText + ")";
        return UnitAnswerText(a.result) + os + " " + StepText(a);
    }
    if (a.result == RESULT_BAD_RESPONSE) {
        switch (a.endedAt) {
        case UploadStep::Header: return "the unit did not accept the upload header (no answer, or not 'O')";
        case UploadStep::Block:
            return a.blocksAnswered < a.block
                       ? "the unit did not answer " + BlockOf(a) + " within " +
                             std::to_string(TRANSFER_READ_TIMEOUT_MS / 1000) + " s"
                       : "the unit answered " + BlockOf(a) + " with a byte that is not one of its answers";
        case UploadStep::FinalStatus:
            return a.finalStatusRead ? "the unit reported a failure (" + Quoted(a.finalStatus) + ") after the last block"
                                     : "the unit sent no final status after the last block";
        case UploadStep::None: break;
        }
        return "the unit's answer was missing or not the expected one";
    }
    return UnitAnswerText(a.result) + " " + StepText(a);
}

// What the unit holds now, and the next step.
std::string StateAndNext(const UploadAccount& a) {
    const bool port = PortFailure(a.result);
    if (a.endedAt == UploadStep::None)
        return "Nothing was sent; the unit's firmware is unchanged. Check the port and the image, then run "
               "drusel-update flash again.";
    if (a.endedAt == UploadStep::Header && !port)
        return "No image byte was taken; the unit's firmware is unchanged. Run drusel-update flash again; if it "
               "fails the same way, power-cycle the unit first.";
    if (a.result == RESULT_EXT_CHECKSUM || a.result == RESULT_INT_CHECKSUM)
        return "The unit holds no complete firmware. Check the image with drusel-update check or ask for a new "
               "copy, then run drusel-update flash again.";
    if (port || (a.endedAt == UploadStep::FinalStatus && !a.finalStatusRead))
        return "The unit's state is unknown: it may hold its old firmware or none. Check the cable and the port, "
               "power-cycle the unit, then run drusel-update flash again.";
    return "The unit holds no complete firmware. Power-cycle it, then run drusel-update flash again.";
}

}  // namespace

std::string FlashFailureText(const UploadAccount& account, const std::string& osErrorText) {
    return WhatFailed(account, osErrorText) + ". " + StateAndNext(account);
}
