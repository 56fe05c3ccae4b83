// DeviceLink::UploadFirmware: check a firmware image file and send it to the unit.
//
// The image (1 to 65,536 bytes, its last byte the additive checksum of the others) is read
// whole and sent unchanged: a 4-byte 'f' header, then 256-byte blocks, each answered by
// one byte, the last block carrying T (the sum of the whole image) as an extra byte, then
// one final status byte. Every answer must arrive within 6000 ms; an answer that does not
// come is a failure at every step, never "go on" and never success.
//
// Before each block the input already waiting is discarded (input only): the unit answers
// a block only once it has it whole and sends the final status only after its last
// answer, so nothing it is entitled to send waits then, and a stray byte shifts answers no
// further than the block it arrived in. A discarded '?' or 'R' ends the upload as that
// answer would. The discard's own failure is not acted on, like the purge before the header.
//
// Every path ends in the same closing steps: read time-out back to 300 ms, idle 1,
// progress position 0; the file form then closes the image file and frees its buffer.
#include <cstring>
#include <memory>
#include <new>

#include "answer_tables.h"
#include "device_link.h"
#include "image_check.h"
#include "image_file.h"
#include "upload_account.h"

namespace {

// One whole write; a write that sent fewer bytes than asked is as failed as one that erred.
ResultCode WriteWhole(PortHandle port, const uint8_t* data, uint32_t count) {
    uint32_t written = 0;
    if (!SerialWrite(port, data, count, &written) || written != count) return RESULT_WRITE_FAILED;
    return RESULT_OK;
}

// One answer byte within the read time-out. No byte at all is a bad response.
ResultCode ReadAnswer(PortHandle port, uint8_t* answer) {
    uint32_t received = 0;
    if (!SerialRead(port, answer, 1, &received)) return RESULT_READ_FAILED;
    if (received != 1) return RESULT_BAD_RESPONSE;
    return RESULT_OK;
}

constexpr uint32_t DISCARD_CHUNK_BYTES = 64;
// A line that keeps talking is not emptied forever: what is left is read as the answer.
constexpr uint32_t DISCARD_MAX_ROUNDS = 16;

// Empties the input before block `index` (0-based), counting and logging what it held.
// RESULT_OK, or the failure a discarded '?' or 'R' stands for.
ResultCode DiscardStrayInput(PortHandle port, const LogSink* log, uint32_t index, UploadAccount* account) {
    uint8_t chunk[DISCARD_CHUNK_BYTES];
    uint32_t count = 0;
    ResultCode result = RESULT_OK;
    uint8_t first = 0;
    for (uint32_t round = 0; round < DISCARD_MAX_ROUNDS; ++round) {
        uint32_t taken = 0;
        if (!SerialDiscardInput(port, chunk, sizeof chunk, &taken)) break;
        for (uint32_t k = 0; k < taken; ++k) {
            if (count + k == 0) first = chunk[k];
            ResultCode stop = RESULT_OK;
            if (result == RESULT_OK && JudgeBlockAnswer(chunk[k], &stop) == BlockVerdict::Stop) {
                result = stop;
                account->endedByStrayByte = true;
                account->strayEndingByte = chunk[k];
            }
        }
        count += taken;
        if (taken < sizeof chunk) break;
    }
    if (count > 0) {
        account->strayBytesDiscarded += count;
        WriteLog(log, "Quorvantis: %u stray byte(s) discarded before block %u (first 0x%02X).",
                 static_cast<unsigned>(count), static_cast<unsigned>(index + 1), static_cast<unsigned>(first));
    }
    return result;
}

// Reads and checks the image file. On success *image holds exactly check->size bytes.
ResultCode LoadImage(ImageFileHandle file, std::unique_ptr<uint8_t[]>* image, ImageCheck* check) {
    uint64_t fileSize = 0;
    if (!ImageFileSize(file, &fileSize)) return RESULT_FAILED;
    // Refused before any allocation: an empty file has no check byte, and the header
    // cannot announce more than 65,536 bytes.
    if (CheckImageSize(fileSize) != ImageVerdict::Good) return RESULT_BAD_IMAGE;
    uint32_t n = static_cast<uint32_t>(fileSize);

    image->reset(new (std::nothrow) uint8_t[n]());
    if (*image == nullptr) return RESULT_FAILED;

    uint32_t received = 0;
    if (!ImageFileRead(file, image->get(), n, &received) || received != n) return RESULT_READ_FAILED;

    *check = CheckImage(image->get(), n);
    return check->verdict == ImageVerdict::Good ? RESULT_OK : RESULT_BAD_IMAGE;
}

// The link's own reasons to refuse an upload, whatever the image: RESULT_OK when none.
ResultCode LinkRefusal(bool sourceGiven, int32_t protocolFlags, int32_t portOpen) {
    if (!sourceGiven) return RESULT_FAILED;
    if ((protocolFlags & PROTOCOL_FLAG_TAKES_FIRMWARE) == 0) return RESULT_REFUSED;
    if (portOpen == 0) return RESULT_NOT_OPEN;
    return RESULT_OK;
}

}  // namespace

ResultCode DeviceLink::UploadFirmware(const char* imagePath, const ProgressTarget* progress) {
    ImageFileHandle file = nullptr;
    std::unique_ptr<uint8_t[]> image;
    ImageCheck check;

    // Checking: nothing goes to the port until the image has passed.
    ResultCode result = LinkRefusal(imagePath != nullptr, protocolFlags, portOpen);
    if (result == RESULT_OK) {
        file = ImageFileOpen(imagePath);
        result = file == nullptr ? RESULT_FAILED : LoadImage(file, &image, &check);
    }
    result = SendImage(result, image.get(), check, progress);
    if (file != nullptr) ImageFileClose(file);
    return result;
}

ResultCode DeviceLink::UploadFirmwareImage(const uint8_t* image, uint32_t size, const ProgressTarget* progress) {
    ImageCheck check;
    ResultCode result = LinkRefusal(image != nullptr, protocolFlags, portOpen);
    if (result == RESULT_OK && CheckImageSize(size) != ImageVerdict::Good) result = RESULT_BAD_IMAGE;
    if (result == RESULT_OK) {
        check = CheckImage(image, size);
        if (check.verdict != ImageVerdict::Good) result = RESULT_BAD_IMAGE;
    }
    return SendImage(result, image, check, progress);
}

// The transfer of a checked image; `checked` is the checking's result, and nothing is
// sent unless it is RESULT_OK. Ends with the closing steps on every path.
ResultCode DeviceLink::SendImage(ResultCode checked, const uint8_t* image, const ImageCheck& check,
                                 const ProgressTarget* progress) {
    ResultCode result = checked;
    UploadAccount account;
    if (result == RESULT_OK) {
        const uint32_t fullBlocks = check.fullBlocks;
        const uint32_t remainder = check.lastBlockBytes;
        const uint32_t blocks = check.BlockWrites();
        account.blocksTotal = blocks;
        account.endedAt = UploadStep::Header;

        NotifyProgress(progress, ProgressEvent::SetRange, static_cast<int32_t>(fullBlocks + 1));
        NotifyProgress(progress, ProgressEvent::SetStep, 1);
        NotifyProgress(progress, ProgressEvent::SetPos, 0);

        idle = 0;
        SetReadTimeout(TRANSFER_READ_TIMEOUT_MS);
        SerialPurge(portHandle);

        uint8_t answer = 0;
        result = WriteWhole(portHandle, check.header, sizeof check.header);
        if (result == RESULT_OK) result = ReadAnswer(portHandle, &answer);
        if (result == RESULT_OK && answer != ANSWER_ACCEPTED) result = RESULT_BAD_RESPONSE;

        uint8_t block[UPLOAD_BLOCK_BYTES + 1];
        for (uint32_t i = 0; result == RESULT_OK && i < blocks; ++i) {
            // From here on the step is block i + 1: the one about to go, or not sent at a stop.
            account.endedAt = UploadStep::Block;
            account.block = i + 1;
            if (cancelRequested != nullptr && cancelRequested->load()) {
                result = RESULT_FAILED;
                break;
            }
            result = DiscardStrayInput(portHandle, logSink, i, &account);
            if (result != RESULT_OK) break;
            const bool last = i + 1 == blocks;
            const uint32_t length = last && remainder != 0 ? remainder : UPLOAD_BLOCK_BYTES;
            std::memcpy(block, image + static_cast<size_t>(i) * UPLOAD_BLOCK_BYTES, length);
            uint32_t sendCount = length;
            if (last) block[sendCount++] = check.transferSum;

            result = WriteWhole(portHandle, block, sendCount);
            if (result == RESULT_OK) result = ReadAnswer(portHandle, &answer);
            if (result != RESULT_OK) break;
            ++account.blocksAnswered;
            const BlockVerdict verdict = JudgeBlockAnswer(answer, &result);
            if (verdict == BlockVerdict::Step) NotifyProgress(progress, ProgressEvent::StepIt, 0);
            if (verdict == BlockVerdict::GoOn && account.unlistedAnswers++ == 0) account.firstUnlistedAnswer = answer;
        }

        if (result == RESULT_OK) {
            account.endedAt = UploadStep::FinalStatus;
            result = ReadAnswer(portHandle, &answer);
        }
        if (result == RESULT_OK) {
            account.finalStatusRead = true;
            account.finalStatus = answer;
            account.finalStatusListed = IsListedFinalStatus(answer);
            result = JudgeFinalStatus(answer);
        }
    }
    account.result = result;
    lastUpload = account;

    // Closing steps, on every path.
    SetReadTimeout(DEFAULT_READ_TIMEOUT_MS);
    idle = 1;
    NotifyProgress(progress, ProgressEvent::SetPos, 0);
    return result;
}
