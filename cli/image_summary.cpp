#include "image_summary.h"

#include <cstdio>

#include "image_file.h"
#include "serial.h"

namespace {

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
    static_cast<ImageCheck&>(summary) = CheckImage(bytes.data(), bytes.size());
    summary.bytes = bytes;
    return summary;
}

ImageSummary ReadImageSummary(const char* path) {
    ImageFileHandle file = ImageFileOpen(path);
    if (file == nullptr) {
        ImageSummary summary = Unreadable("cannot open the image file");
        if (ImageFileErrorIsNotRegular(summary.osError)) {
            summary.problem = "not a regular file (a pipe, a device or the like); give the path of an image file";
            summary.osError = 0;
        }
        return summary;
    }
    uint64_t size = 0;
    if (!ImageFileSize(file, &size)) {
        ImageSummary summary = Unreadable("cannot read the image file's size");
        ImageFileClose(file);
        return summary;
    }
    if (CheckImageSize(size) == ImageVerdict::TooLarge) {
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
