// The pure image check: verdict, header, block sizes and the transfer checksum.
#include "image_check.h"

#include "checksum.h"
#include "protocol.h"

ImageVerdict CheckImageSize(uint64_t size) {
    if (size == 0) return ImageVerdict::Empty;
    if (size > MAX_IMAGE_BYTES) return ImageVerdict::TooLarge;
    return ImageVerdict::Good;
}

ImageCheck CheckImage(const uint8_t* bytes, uint64_t size) {
    ImageCheck check;
    check.size = size;
    check.verdict = CheckImageSize(size);
    if (check.verdict != ImageVerdict::Good) return check;
    if (bytes == nullptr) {
        check.verdict = ImageVerdict::Unreadable;  // nothing to judge: never "good"
        return check;
    }

    const auto n = static_cast<int32_t>(size);
    check.checkByte = bytes[n - 1];
    check.sumBefore = AdditiveChecksum(bytes, n - 1);
    check.transferSum = AdditiveChecksum(bytes, n);
    check.header[0] = OPCODE_UPLOAD;
    check.header[1] = static_cast<uint8_t>((size >> 8) & 0xFF);  // 65,536 goes out as 0
    check.header[2] = static_cast<uint8_t>(size & 0xFF);
    check.header[3] = AdditiveChecksum(check.header, 3);
    check.fullBlocks = static_cast<uint32_t>(size / UPLOAD_BLOCK_BYTES);
    check.lastBlockBytes = static_cast<uint32_t>(size % UPLOAD_BLOCK_BYTES);
    check.verdict = check.checkByte == check.sumBefore ? ImageVerdict::Good : ImageVerdict::BadCheckByte;
    return check;
}
