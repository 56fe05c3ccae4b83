#include "image_summary.h"

#include <cstdio>

#include "checksum.h"
#include "image_file.h"
#include "serial.h"

namespace {

constexpr uint32_t BLOCK_BYTES = 256;
constexpr uint8_t UPLOAD_COMMAND = 0x66;  // 'f'

ImageSummary Unreadable(const char* problem) {
    ImageSummary summary;
    summary.verdict = ImageVerdict::Unreadable;
    summary.problem = problem;
    summary.osError = SerialLastError();
    return summary;
}

}  // namespace

ImageSummary SummarizeImage(const std::vector<uint8_t>& bytes) {
    ImageSummary summary;
    summary.size = bytes.size();
    if (bytes.empty()) {
        summary.verdict = ImageVerdict::Empty;
        return summary;
    }
    if (bytes.size() > IMAGE_MAX_BYTES) {
        summary.verdict = ImageVerdict::TooLarge;
        return summary;
    }
    const auto n = static_cast<int32_t>(bytes.size());
    summary.checkByte = bytes.back();
    summary.sumBefore = AdditiveChecksum(bytes.data(), n - 1);
    summary.transferSum = AdditiveChecksum(bytes.data(), n);
    summary.header[0] = UPLOAD_COMMAND;
    summary.header[1] = static_cast<uint8_t>((bytes.size() >> 8) & 0xFF);  // 65,536 goes out as 0
    summary.header[2] = static_cast<uint8_t>(bytes.size() & 0xFF);
    summary.header[3] = AdditiveChecksum(summary.header, 3);
    summary.fullBlocks = static_cast<uint32_t>(bytes.size() / BLOCK_BYTES);
    summary.lastBlockBytes = static_cast<uint32_t>(bytes.size() % BLOCK_BYTES);
    summary.verdict = summary.checkByte == summary.sumBefore ? ImageVerdict::Good : ImageVerdict::BadCheckByte;
    return summary;
}

ImageSummary ReadImageSummary(const char* path) {
    ImageFileHandle file = ImageFileOpen(path);
    if (file == nullptr) return Unreadable("cannot open the image file");
    uint64_t size = 0;
    if (!ImageFileSize(file, &size)) {
        ImageSummary summary = Unreadable("cannot read the image file's size");
        ImageFileClose(file);
        return summary;
    }
    if (size > IMAGE_MAX_BYTES) {
        ImageFileClose(file);
        ImageSummary summary;
        summary.verdict = ImageVerdict::TooLarge;
        summary.size = size;
        return summary;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        uint32_t received = 0;
        if (!ImageFileRead(file, bytes.data() + done, static_cast<uint32_t>(bytes.size() - done), &received)) {
            ImageSummary summary = Unreadable("cannot read the image file");
            ImageFileClose(file);
            return summary;
        }
        if (received == 0) break;
        done += received;
    }
    ImageFileClose(file);
    if (done != bytes.size()) {
        ImageSummary summary = Unreadable("the image file ended before its size");
        summary.osError = 0;
        return summary;
    }
    return SummarizeImage(bytes);
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
    std::string text;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        if (i != 0) text += ' ';
        text += hex;
    }
    return text;
}
