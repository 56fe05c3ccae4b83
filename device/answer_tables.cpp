// The upload's two answer tables: per block, and the final status after the last block.
#include "answer_tables.h"

#include "protocol.h"

namespace {

struct StatusRow {
    uint8_t status;
    ResultCode result;
};

constexpr StatusRow kFinalStatus[] = {
    {ANSWER_ACCEPTED, RESULT_OK},
    {STATUS_COMPLETE, RESULT_OK},
    {ANSWER_REFUSED, RESULT_REFUSED},
    {ANSWER_BUFFERING_FAILED, RESULT_BUFFERING_FAILED},
    {STATUS_EXT_CHECKSUM, RESULT_EXT_CHECKSUM},
    {STATUS_FAILED, RESULT_BAD_RESPONSE},
    {STATUS_INT_CHECKSUM, RESULT_INT_CHECKSUM},
    {STATUS_FLASH_FAILED, RESULT_FLASH_FAILED},
};

}  // namespace

BlockVerdict JudgeBlockAnswer(uint8_t answer, ResultCode* result) {
    switch (answer) {
    case ANSWER_ACCEPTED: return BlockVerdict::Step;
    case ANSWER_REFUSED: *result = RESULT_REFUSED; return BlockVerdict::Stop;
    case ANSWER_BUFFERING_FAILED: *result = RESULT_BUFFERING_FAILED; return BlockVerdict::Stop;
    default: return BlockVerdict::GoOn;
    }
}

ResultCode JudgeFinalStatus(uint8_t status) {
    for (const StatusRow& row : kFinalStatus) {
        if (row.status == status) return row.result;
    }
    return RESULT_OK;
}

bool IsListedFinalStatus(uint8_t status) {
    for (const StatusRow& row : kFinalStatus) {
        if (row.status == status) return true;
    }
    return false;
}

uint8_t FinalStatusOfResult(ResultCode result) {
    if (result == RESULT_OK) return 0;
    for (const StatusRow& row : kFinalStatus) {
        if (row.result == result) return row.status;
    }
    return 0;
}
