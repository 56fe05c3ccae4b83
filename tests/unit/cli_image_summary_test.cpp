// The offline image check: headers and blocks for the sizes that matter, and refusals.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "image_summary.h"

namespace {

std::vector<uint8_t> GoodImage(size_t n) {
    std::vector<uint8_t> bytes(n);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    if (n > 0) bytes.back() = sum;
    return bytes;
}

TEST(CliImageSummary, HeaderAndBlocksForEachSize) {
    struct Case {
        size_t size;
        std::string header;
        uint32_t fullBlocks;
        uint32_t lastBlockBytes;
        uint32_t writes;
    };
    const Case cases[] = {
        {1, "66 00 01 67", 0, 1, 1},
        {100, "66 00 64 CA", 0, 100, 1},
        {256, "66 01 00 67", 1, 0, 1},
        {300, "66 01 2C 93", 1, 44, 2},
        {512, "66 02 00 68", 2, 0, 2},
        {65536, "66 00 00 66", 256, 0, 256},
    };
    for (const Case& c : cases) {
        const auto image = c.size == 1 ? std::vector<uint8_t>{0} : GoodImage(c.size);
        const ImageSummary summary = SummarizeImage(image);
        EXPECT_EQ(summary.verdict, ImageVerdict::Good) << c.size;
        EXPECT_EQ(HexBytes(summary.header, 4), c.header) << c.size;
        EXPECT_EQ(summary.fullBlocks, c.fullBlocks) << c.size;
        EXPECT_EQ(summary.lastBlockBytes, c.lastBlockBytes) << c.size;
        EXPECT_EQ(summary.BlockWrites(), c.writes) << c.size;
        // T is the sum of every byte, the check byte included: twice the check byte.
        EXPECT_EQ(summary.transferSum, static_cast<uint8_t>(2 * image.back())) << c.size;
    }
}

TEST(CliImageSummary, RefusesWhatCannotBeSent) {
    auto bad = GoodImage(300);
    bad.back() ^= 0x80;
    const ImageSummary badSummary = SummarizeImage(bad);
    EXPECT_EQ(badSummary.verdict, ImageVerdict::BadCheckByte);
    EXPECT_EQ(static_cast<uint8_t>(badSummary.checkByte ^ 0x80), badSummary.sumBefore);

    EXPECT_EQ(SummarizeImage({}).verdict, ImageVerdict::Empty);
    EXPECT_EQ(SummarizeImage({1}).verdict, ImageVerdict::BadCheckByte);  // one byte: only 0 is valid
    EXPECT_EQ(SummarizeImage(GoodImage(65537)).verdict, ImageVerdict::TooLarge);
}

TEST(CliImageSummary, ReadsTheFileThroughThePlatformLayer) {
    char name[] = "/tmp/dcliimgXXXXXX";
    std::FILE* file = nullptr;
#ifdef _WIN32
    std::tmpnam(name);
    file = std::fopen(name, "wb");
#else
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    file = fdopen(fd, "wb");
#endif
    ASSERT_NE(file, nullptr);
    const auto image = GoodImage(1000);
    std::fwrite(image.data(), 1, image.size(), file);
    std::fclose(file);
    const ImageSummary summary = ReadImageSummary(name);
    EXPECT_EQ(summary.verdict, ImageVerdict::Good);
    EXPECT_EQ(summary.size, 1000u);
    std::remove(name);

    const ImageSummary missing = ReadImageSummary(name);
    EXPECT_EQ(missing.verdict, ImageVerdict::Unreadable);
    EXPECT_NE(missing.osError, 0u);
    EXPECT_EQ(missing.problem, "cannot open the image file");
}

}  // namespace
