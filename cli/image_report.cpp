#include "image_report.h"

#include <cstdio>

#include "port_probe.h"
#include "protocol.h"
#include "result_table.h"

namespace {

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

const char* VerdictName(ImageVerdict verdict) {
    switch (verdict) {
    case ImageVerdict::Good: return "good";
    case ImageVerdict::BadCheckByte: return "bad_check_byte";
    case ImageVerdict::Empty: return "empty";
    case ImageVerdict::TooLarge: return "too_large";
    case ImageVerdict::Unreadable: return "unreadable";
    }
    return "unknown";
}

}  // namespace

std::vector<std::string> ImageSummaryLines(const ImageSummary& summary) {
    std::vector<std::string> lines;
    if (summary.verdict == ImageVerdict::Unreadable) return lines;
    lines.push_back("Size:            " + std::to_string(summary.size) + " bytes");
    if (summary.verdict == ImageVerdict::Empty || summary.verdict == ImageVerdict::TooLarge) return lines;
    lines.push_back("Check byte:      " + Hex(summary.checkByte) + ", the bytes before it sum to " +
                    Hex(summary.sumBefore) + (summary.verdict == ImageVerdict::Good ? ": good" : ": bad"));
    lines.push_back("Header:          " + HexBytes(summary.header, sizeof summary.header));
    std::string blocks = std::to_string(summary.BlockWrites()) + " (";
    if (summary.fullBlocks != 0) blocks += std::to_string(summary.fullBlocks) + " of " + std::to_string(UPLOAD_BLOCK_BYTES) + " bytes";
    if (summary.lastBlockBytes != 0)
        blocks += std::string(summary.fullBlocks != 0 ? ", then " : "") + "one of " +
                  std::to_string(summary.lastBlockBytes) + " bytes";
    blocks += "; the transfer checksum " + Hex(summary.transferSum) + " goes after the last)";
    lines.push_back("Blocks:          " + blocks);
    return lines;
}

std::string ImageProblem(const ImageSummary& summary, const std::string& path) {
    switch (summary.verdict) {
    case ImageVerdict::Good: return "";
    case ImageVerdict::BadCheckByte:
        return path + ": the check byte is " + Hex(summary.checkByte) + " but the bytes before it sum to " +
               Hex(summary.sumBefore);
    case ImageVerdict::Empty: return path + ": the file is empty";
    case ImageVerdict::TooLarge:
        return path + ": " + std::to_string(summary.size) + " bytes, more than the " + std::to_string(MAX_IMAGE_BYTES) + " an upload can announce";
    case ImageVerdict::Unreadable: {
        const std::string os = OsErrorText(summary.osError);
        return path + ": " + summary.problem + (os.empty() ? "" : " (" + os + ")");
    }
    }
    return "";
}

std::string ImageHeadline(const ImageSummary& summary) {
    if (summary.verdict == ImageVerdict::Unreadable) return "The image file cannot be used.";
    return LookupResultMessage(RESULT_BAD_IMAGE).text;
}

void AddImageFields(JsonLine& line, const ImageSummary& summary) {
    line.Add("image_verdict", VerdictName(summary.verdict)).Add("image_size", summary.size);
    if (summary.verdict == ImageVerdict::Good || summary.verdict == ImageVerdict::BadCheckByte) {
        line.Add("check_byte", static_cast<int64_t>(summary.checkByte));
        line.Add("sum_before", static_cast<int64_t>(summary.sumBefore));
        line.Add("header", std::vector<uint8_t>(summary.header, summary.header + 4));
        line.Add("blocks", summary.BlockWrites()).Add("full_blocks", summary.fullBlocks);
        line.Add("last_block_bytes", summary.lastBlockBytes);
        line.Add("transfer_checksum", static_cast<int64_t>(summary.transferSum));
    }
    if (summary.osError != 0) line.Add("os_error", summary.osError);
}
