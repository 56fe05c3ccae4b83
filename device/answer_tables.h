// What the unit's one-byte answers during an upload mean: the block-answer table and the
// final-status table, each kept once here and asked by the upload and by the programs
// that put the answers into words.
#pragma once
#include <cstdint>

#include "result_code.h"

// What an answer to a block means for the upload.
enum class BlockVerdict {
    Step,  // taken: go on with the next block
    GoOn,  // not in the table: by the unit's contract not a failure, go on
    Stop,  // a failure: the upload ends with the result given
};
BlockVerdict JudgeBlockAnswer(uint8_t answer, ResultCode* result);

// The result a final status byte stands for; bytes outside the table mean success.
ResultCode JudgeFinalStatus(uint8_t status);
// True when the byte is one of the final status table's rows ('O' and 'C' included).
bool IsListedFinalStatus(uint8_t status);
// The final status byte that ends an upload with this failure, 0 when none does.
uint8_t FinalStatusOfResult(ResultCode result);
