// The account of the last firmware upload: where it ended and what the unit said on the
// way, kept by the device link for callers that put it into words. The upload's result
// code stays the contract; this record only adds what the code cannot carry.
#pragma once
#include <cstdint>

#include "result_code.h"

// The step an upload ended at.
enum class UploadStep {
    None,         // nothing was sent: the image or the port stopped it first
    Header,       // the 4-byte header or its answer
    Block,        // block `block` (1-based) of `blocksTotal`, its write or its answer
    FinalStatus,  // the final status byte after the last block
};

struct UploadAccount {
    ResultCode result = RESULT_OK;
    UploadStep endedAt = UploadStep::None;
    uint32_t block = 0;            // 1-based, when endedAt is Block
    uint32_t blocksTotal = 0;      // block writes the image needs (0 when it was refused)
    uint32_t blocksAnswered = 0;   // blocks that got an answer byte of any kind
    uint32_t unlistedAnswers = 0;  // blocks answered with a byte outside the block table
    uint8_t firstUnlistedAnswer = 0;
    bool finalStatusRead = false;
    uint8_t finalStatus = 0;            // as read, when finalStatusRead
    bool finalStatusListed = false;     // one of the final-status table's rows
    uint32_t strayBytesDiscarded = 0;   // input found waiting before a block and thrown away
    // A discarded '?' or 'R' that ended the upload as if it had been the block's answer.
    bool endedByStrayByte = false;
    uint8_t strayEndingByte = 0;
};
