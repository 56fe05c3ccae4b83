// The upload oracle: what the answer table says a firmware upload must return, given the
// image size and what the unit (or the port) does at each step.
//
// Pure: no I/O, no device link. Shared by every upload test (fake serial layer, pty,
// wine) and by later fault tests and fuzzing, so that "the expected result" is written
// down once, independently of the upload code it judges.
//
// Steps are numbered in wire order: step 0 is the header, step 1 + i answers block i
// (0-based, the short block included), and step blocks + 1 is the final status.
#pragma once
#include <cstdint>
#include <vector>

#include "result_code.h"

// What happens at one step, instead of (or as) the unit's answer.
enum class StepEvent {
    Byte,        // the unit answers `byte`
    Silence,     // nothing arrives within the read time-out
    HangUp,      // the unit closes the line at this step
    ReadFails,   // the driver fails the read of the answer
    WriteFails,  // the driver fails the write of this step (no write at the final step)
    ShortWrite,  // the driver sends fewer bytes than asked (no write at the final step)
};

struct StepAnswer {
    StepEvent event = StepEvent::Byte;
    uint8_t byte = 'O';

    static StepAnswer Of(uint8_t b) { return StepAnswer{StepEvent::Byte, b}; }
    static StepAnswer Of(StepEvent e) { return StepAnswer{e, 0}; }
};

// A byte the unit did not mean as an answer, riding with the answer of a step: `After`
// arrives right behind it (a stray byte on the line), `Before` just ahead of it (a byte
// that came while the block was still being written, so it is read as the answer). Only
// steps whose event is Byte carry one.
enum class StrayPlace { Before, After };
struct StrayByte {
    int32_t step = 0;
    StrayPlace place = StrayPlace::After;
    uint8_t byte = 0;
};

// How the platform's serial layer reports a peer that hung up: POSIX reads fail at once,
// wine lets the read run out its time-out with no byte.
enum class HangUpSeenAs { ReadFailure, Silence };

struct UploadScenario {
    uint64_t imageSize = 0;
    bool imageCheckByteValid = true;
    // Answers by step; steps beyond the end answer 'O' (a cooperating unit).
    std::vector<StepAnswer> answers;
    // Cancel raised before block `cancelBeforeBlock` is sent (-1: never).
    int cancelBeforeBlock = -1;
    HangUpSeenAs hangUp = HangUpSeenAs::ReadFailure;
    std::vector<StrayByte> strays;
};

struct UploadExpectation {
    ResultCode result = RESULT_OK;
    int32_t progressMaximum = 0;  // the range's maximum: full blocks + 1 (0 when none is set)
    int32_t progressSteps = 0;    // blocks answered with 'O'
    int32_t blocksSent = 0;       // blocks written to the port (the failing write included)
    bool headerSent = false;
    bool finalStatusRead = false;
    uint8_t finalStatus = 0;           // the byte read as the final status, when read
    int32_t blocksAnswered = 0;        // blocks that got a byte read as their answer
    int32_t unlistedBlockAnswers = 0;  // of those, bytes outside the block table
    int32_t strayDiscarded = 0;        // bytes found waiting before a block and thrown away
};

// Block count of an image of `size` bytes: full 256-byte blocks plus a short one if any.
int32_t UploadBlockCount(uint64_t size);
// The step number of the final status for an image of `size` bytes.
int32_t FinalStep(uint64_t size);

UploadExpectation ExpectedUpload(const UploadScenario& scenario);

// The answer list of a cooperating unit with one step replaced.
std::vector<StepAnswer> AnswersWithFault(int32_t step, StepAnswer answer);

// A valid image of `size` bytes (>= 1): varied content from `seed`, then its check byte.
std::vector<uint8_t> MakeValidImage(uint32_t size, uint32_t seed = 1);
// The 4-byte upload header that announces `size` bytes.
std::vector<uint8_t> ExpectedHeader(uint32_t size);
// The exact bytes of each block write for `image`: 256-byte blocks, T after the last.
std::vector<std::vector<uint8_t>> ExpectedBlocks(const std::vector<uint8_t>& image);
