// DeviceLink::UploadFirmware: check a firmware image file and send it to the unit.
//
// The image (1 to 65,536 bytes, its last byte the additive checksum of the others) is read
// whole and sent unchanged: a 4-byte 'f' header, then 256-byte blocks, each answered by
// one byte, the last block carrying T (the sum of the whole image) as an extra byte, then
// one final status byte. Every answer must arrive within 6000 ms; an answer that does not
// come is a failure at every step, never "go on" and never success.
//
// Every path ends in the same closing steps: read time-out back to 300 ms, idle 1,
// progress position 0, image file closed, image buffer freed.
#include <cstring>
#include <memory>
#include <new>

#include "checksum.h"
#include "device_link.h"
#include "image_file.h"

namespace {

constexpr uint32_t MAX_IMAGE_BYTES = 65536;
constexpr uint32_t BLOCK_BYTES = 256;
constexpr uint32_t TRANSFER_READ_TIMEOUT_MS = 6000;
constexpr uint32_t NORMAL_READ_TIMEOUT_MS = 300;

constexpr uint8_t UPLOAD_COMMAND = 'f';
constexpr uint8_t ANSWER_TAKEN = 'O';
constexpr int32_t FLAGS_TAKES_FIRMWARE = 0x02;

// What the unit's answer to a block means.
enum class BlockVerdict { Step, GoOn, Stop };

BlockVerdict JudgeBlockAnswer(uint8_t answer, ResultCode* result) {
    switch (answer) {
    case 'O': return BlockVerdict::Step;
    case '?': *result = RESULT_REFUSED; return BlockVerdict::Stop;
    case 'R': *result = RESULT_BUFFERING_FAILED; return BlockVerdict::Stop;
    default: return BlockVerdict::GoOn;  // the unit's contract: other bytes are not failures
    }
}

// The result a final status byte stands for; bytes outside the table mean success.
ResultCode JudgeFinalStatus(uint8_t status) {
    switch (status) {
    case '?': return RESULT_REFUSED;
    case 'R': return RESULT_BUFFERING_FAILED;
    case 'E': return RESULT_EXT_CHECKSUM;
    case 'F': return RESULT_BAD_RESPONSE;
    case 'I': return RESULT_INT_CHECKSUM;
    case 'W': return RESULT_FLASH_FAILED;
    default: return RESULT_OK;  // 'O', 'C' and anything unlisted
    }
}

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

// Reads and checks the image file. On success *image holds exactly *size bytes.
ResultCode LoadImage(ImageFileHandle file, std::unique_ptr<uint8_t[]>* image, uint32_t* size) {
    uint64_t fileSize = 0;
    if (!ImageFileSize(file, &fileSize)) return RESULT_FAILED;
    // Refused before any allocation: an empty file has no check byte, and the header
    // cannot announce more than 65,536 bytes.
    if (fileSize == 0 || fileSize > MAX_IMAGE_BYTES) return RESULT_BAD_IMAGE;
    uint32_t n = static_cast<uint32_t>(fileSize);

    image->reset(new (std::nothrow) uint8_t[n]());
    if (*image == nullptr) return RESULT_FAILED;

    uint32_t received = 0;
    if (!ImageFileRead(file, image->get(), n, &received) || received != n) return RESULT_READ_FAILED;

    uint8_t* bytes = image->get();
    if (AdditiveChecksum(bytes, static_cast<int32_t>(n - 1)) != bytes[n - 1]) return RESULT_BAD_IMAGE;
    *size = n;
    return RESULT_OK;
}

}  // namespace

ResultCode DeviceLink::UploadFirmware(const char* imagePath, const ProgressTarget* progress) {
    ResultCode result = RESULT_OK;
    ImageFileHandle file = nullptr;
    std::unique_ptr<uint8_t[]> image;
    uint32_t n = 0;

    // Checking: nothing goes to the port until the image has passed.
    if (imagePath == nullptr) {
        result = RESULT_FAILED;
    } else if ((protocolFlags & FLAGS_TAKES_FIRMWARE) == 0) {
        result = RESULT_REFUSED;
    } else if (portOpen == 0) {
        result = RESULT_NOT_OPEN;
    } else if ((file = ImageFileOpen(imagePath)) == nullptr) {
        result = RESULT_FAILED;
    } else {
        result = LoadImage(file, &image, &n);
    }

    if (result == RESULT_OK) {
        const uint32_t fullBlocks = n / BLOCK_BYTES;
        const uint32_t remainder = n % BLOCK_BYTES;
        const uint32_t blocks = fullBlocks + (remainder != 0 ? 1 : 0);
        const uint8_t transferSum = AdditiveChecksum(image.get(), static_cast<int32_t>(n));

        NotifyProgress(progress, ProgressEvent::SetRange, static_cast<int32_t>(fullBlocks + 1));
        NotifyProgress(progress, ProgressEvent::SetStep, 1);
        NotifyProgress(progress, ProgressEvent::SetPos, 0);

        idle = 0;
        SetReadTimeout(TRANSFER_READ_TIMEOUT_MS);
        SerialPurge(portHandle);

        // 65,536 is announced as 0: the length field carries the size modulo 2^16.
        uint8_t header[4] = {UPLOAD_COMMAND, static_cast<uint8_t>((n >> 8) & 0xFF), static_cast<uint8_t>(n & 0xFF),
                             0};
        header[3] = AdditiveChecksum(header, 3);
        uint8_t answer = 0;
        result = WriteWhole(portHandle, header, sizeof header);
        if (result == RESULT_OK) result = ReadAnswer(portHandle, &answer);
        if (result == RESULT_OK && answer != ANSWER_TAKEN) result = RESULT_BAD_RESPONSE;

        uint8_t block[BLOCK_BYTES + 1];
        for (uint32_t i = 0; result == RESULT_OK && i < blocks; ++i) {
            if (cancelRequested != nullptr && cancelRequested->load()) {
                result = RESULT_FAILED;
                break;
            }
            const bool last = i + 1 == blocks;
            const uint32_t length = last && remainder != 0 ? remainder : BLOCK_BYTES;
            std::memcpy(block, image.get() + static_cast<size_t>(i) * BLOCK_BYTES, length);
            uint32_t sendCount = length;
            if (last) block[sendCount++] = transferSum;

            result = WriteWhole(portHandle, block, sendCount);
            if (result == RESULT_OK) result = ReadAnswer(portHandle, &answer);
            if (result == RESULT_OK && JudgeBlockAnswer(answer, &result) == BlockVerdict::Step)
                NotifyProgress(progress, ProgressEvent::StepIt, 0);
        }

        if (result == RESULT_OK) result = ReadAnswer(portHandle, &answer);
        if (result == RESULT_OK) result = JudgeFinalStatus(answer);
    }

    // Closing steps, on every path.
    SetReadTimeout(NORMAL_READ_TIMEOUT_MS);
    idle = 1;
    NotifyProgress(progress, ProgressEvent::SetPos, 0);
    if (file != nullptr) ImageFileClose(file);
    image.reset();
    return result;
}
