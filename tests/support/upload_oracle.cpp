// The upload oracle: the answer table, written out once more as plain data and kept
// apart from the upload code, so that each judges the other.
#include "upload_oracle.h"

#include <cstddef>
#include <deque>

namespace {

constexpr uint64_t MAX_IMAGE_BYTES = 65536;

struct TableRow {
    uint8_t byte;
    ResultCode atBlock;  // RESULT_OK: go on (stepping only for 'O')
    ResultCode atFinal;
};

// Rows for the listed bytes; every other byte goes on at a block and is success at the end.
// At the header only 'O' goes on; every other byte is a bad response.
constexpr TableRow ANSWER_TABLE[] = {
    {'O', RESULT_OK, RESULT_OK},
    {'C', RESULT_OK, RESULT_OK},
    {'?', RESULT_REFUSED, RESULT_REFUSED},
    {'R', RESULT_BUFFERING_FAILED, RESULT_BUFFERING_FAILED},
    {'E', RESULT_OK, RESULT_EXT_CHECKSUM},
    {'F', RESULT_OK, RESULT_BAD_RESPONSE},
    {'I', RESULT_OK, RESULT_INT_CHECKSUM},
    {'W', RESULT_OK, RESULT_FLASH_FAILED},
};

const TableRow* RowOf(uint8_t byte) {
    for (const TableRow& row : ANSWER_TABLE)
        if (row.byte == byte) return &row;
    return nullptr;
}

StepAnswer AnswerAt(const UploadScenario& s, int32_t step) {
    if (step >= 0 && static_cast<size_t>(step) < s.answers.size()) return s.answers[static_cast<size_t>(step)];
    return StepAnswer::Of('O');
}

// The failure a step's transport event causes, RESULT_OK when a byte arrived.
ResultCode TransportFailure(StepEvent event, bool stepWrites, HangUpSeenAs hangUp) {
    switch (event) {
    case StepEvent::Byte: return RESULT_OK;
    case StepEvent::Silence: return RESULT_BAD_RESPONSE;
    case StepEvent::HangUp: return hangUp == HangUpSeenAs::ReadFailure ? RESULT_READ_FAILED : RESULT_BAD_RESPONSE;
    case StepEvent::ReadFails: return RESULT_READ_FAILED;
    case StepEvent::WriteFails:
    case StepEvent::ShortWrite: return stepWrites ? RESULT_WRITE_FAILED : RESULT_OK;
    }
    return RESULT_FAILED;
}

}  // namespace

int32_t UploadBlockCount(uint64_t size) { return static_cast<int32_t>(size / 256 + (size % 256 != 0 ? 1 : 0)); }

int32_t FinalStep(uint64_t size) { return UploadBlockCount(size) + 1; }

std::vector<StepAnswer> AnswersWithFault(int32_t step, StepAnswer answer) {
    std::vector<StepAnswer> answers(static_cast<size_t>(step) + 1, StepAnswer::Of('O'));
    answers[static_cast<size_t>(step)] = answer;
    return answers;
}

// What the unit puts on the line at `step` when its event is Byte: the answer and any
// stray bytes riding with it.
void UnitSends(const UploadScenario& s, int32_t step, uint8_t answer, std::deque<uint8_t>* line) {
    for (const StrayByte& stray : s.strays)
        if (stray.step == step && stray.place == StrayPlace::Before) line->push_back(stray.byte);
    line->push_back(answer);
    for (const StrayByte& stray : s.strays)
        if (stray.step == step && stray.place == StrayPlace::After) line->push_back(stray.byte);
}

UploadExpectation ExpectedUpload(const UploadScenario& s) {
    UploadExpectation e;
    if (s.imageSize == 0 || s.imageSize > MAX_IMAGE_BYTES || !s.imageCheckByteValid) {
        e.result = RESULT_BAD_IMAGE;
        return e;
    }
    const int32_t blocks = UploadBlockCount(s.imageSize);
    e.progressMaximum = static_cast<int32_t>(s.imageSize / 256) + 1;
    // The bytes waiting on the line for the host, oldest first.
    std::deque<uint8_t> line;

    // The header: only 'O' lets the upload go on.
    e.headerSent = true;
    StepAnswer header = AnswerAt(s, 0);
    e.result = TransportFailure(header.event, true, s.hangUp);
    if (e.result != RESULT_OK) return e;
    UnitSends(s, 0, header.byte, &line);
    const uint8_t headerRead = line.front();
    line.pop_front();
    if (headerRead != 'O') {
        e.result = RESULT_BAD_RESPONSE;
        return e;
    }

    for (int32_t i = 0; i < blocks; ++i) {
        if (s.cancelBeforeBlock == i) {
            e.result = RESULT_FAILED;
            return e;
        }
        // Before the block: whatever waits is thrown away; a '?' or 'R' among it ends here.
        for (uint8_t stray : line) {
            const TableRow* row = RowOf(stray);
            if (e.result == RESULT_OK && row != nullptr && row->atBlock != RESULT_OK) e.result = row->atBlock;
        }
        e.strayDiscarded += static_cast<int32_t>(line.size());
        line.clear();
        if (e.result != RESULT_OK) return e;

        ++e.blocksSent;
        StepAnswer a = AnswerAt(s, 1 + i);
        ResultCode failure = TransportFailure(a.event, true, s.hangUp);
        if (failure != RESULT_OK) {
            e.result = failure;
            return e;
        }
        UnitSends(s, 1 + i, a.byte, &line);
        // The unit sends the final status right behind its last answer.
        if (i + 1 == blocks) {
            const StepAnswer last = AnswerAt(s, blocks + 1);
            if (last.event == StepEvent::Byte) UnitSends(s, blocks + 1, last.byte, &line);
            // A write event at the final step has no write to spoil: the unit's normal 'O' stands.
            if (last.event == StepEvent::WriteFails || last.event == StepEvent::ShortWrite) line.push_back('O');
        }
        const uint8_t read = line.front();
        line.pop_front();
        ++e.blocksAnswered;
        const TableRow* row = RowOf(read);
        if (row != nullptr && row->atBlock != RESULT_OK) {
            e.result = row->atBlock;
            return e;
        }
        if (read == 'O') ++e.progressSteps;
        if (read != 'O') ++e.unlistedBlockAnswers;
    }

    e.finalStatusRead = true;
    if (line.empty()) {
        // Nothing came for the final status: the step's own line event decides.
        e.finalStatusRead = false;
        e.result = TransportFailure(AnswerAt(s, blocks + 1).event, false, s.hangUp);
        return e;
    }
    e.finalStatus = line.front();
    const TableRow* row = RowOf(e.finalStatus);
    e.result = row != nullptr ? row->atFinal : RESULT_OK;
    return e;
}

std::vector<uint8_t> MakeValidImage(uint32_t size, uint32_t seed) {
    std::vector<uint8_t> image(size, 0);
    uint32_t state = seed * 2654435761u + 1;
    uint8_t sum = 0;
    for (uint32_t i = 0; i + 1 < size; ++i) {
        state = state * 1103515245u + 12345u;
        image[i] = static_cast<uint8_t>(state >> 16);
        sum = static_cast<uint8_t>(sum + image[i]);
    }
    if (size > 0) image[size - 1] = sum;
    return image;
}

std::vector<uint8_t> ExpectedHeader(uint32_t size) {
    uint8_t high = static_cast<uint8_t>((size >> 8) & 0xFF);
    uint8_t low = static_cast<uint8_t>(size & 0xFF);
    return {0x66, high, low, static_cast<uint8_t>(0x66 + high + low)};
}

std::vector<std::vector<uint8_t>> ExpectedBlocks(const std::vector<uint8_t>& image) {
    std::vector<std::vector<uint8_t>> blocks;
    uint8_t total = 0;
    for (uint8_t b : image) total = static_cast<uint8_t>(total + b);
    for (size_t start = 0; start < image.size(); start += 256) {
        size_t end = start + 256 < image.size() ? start + 256 : image.size();
        blocks.emplace_back(image.begin() + static_cast<std::ptrdiff_t>(start),
                            image.begin() + static_cast<std::ptrdiff_t>(end));
    }
    if (!blocks.empty()) blocks.back().push_back(total);
    return blocks;
}
