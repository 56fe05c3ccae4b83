// Image files through the POSIX layer: full 64-bit size, honest counts, exclusive hold,
// and refusal of what is not a regular file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "image_file.h"
#include "serial.h"

namespace {

class SerialPosixImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dimgXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { (void)!std::system(("rm -rf " + folder_).c_str()); }

    std::string WriteFile(const char* name, const std::vector<uint8_t>& bytes) {
        std::string path = folder_ + "/" + name;
        FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    std::string folder_;
};

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

TEST_F(SerialPosixImageFile, ReadsTheWholeFileAndThenFewerAtTheEnd) {
    std::vector<uint8_t> bytes = Pattern(70001);
    ImageFileHandle file = ImageFileOpen(WriteFile("image.enc", bytes).c_str());
    ASSERT_NE(file, nullptr);
    uint64_t size = 0;
    ASSERT_TRUE(ImageFileSize(file, &size));
    EXPECT_EQ(size, 70001u);

    std::vector<uint8_t> got(70001 + 100);
    uint32_t received = 0;
    ASSERT_TRUE(ImageFileRead(file, got.data(), 70000, &received));
    EXPECT_EQ(received, 70000u);
    uint32_t tail = 0;
    ASSERT_TRUE(ImageFileRead(file, got.data() + 70000, 100, &tail));
    EXPECT_EQ(tail, 1u);
    got.resize(70001);
    EXPECT_EQ(got, bytes);
    ASSERT_TRUE(ImageFileRead(file, got.data(), 10, &tail));
    EXPECT_EQ(tail, 0u);
    ImageFileClose(file);
}

TEST_F(SerialPosixImageFile, ReportsSizesBeyondFourGigabytes) {
    std::string path = WriteFile("huge.enc", {});
    ASSERT_EQ(truncate(path.c_str(), (5LL << 30) + 3), 0);  // sparse: no disk used
    ImageFileHandle file = ImageFileOpen(path.c_str());
    ASSERT_NE(file, nullptr);
    uint64_t size = 0;
    ASSERT_TRUE(ImageFileSize(file, &size));
    EXPECT_EQ(size, (uint64_t{5} << 30) + 3);
    ImageFileClose(file);
}

TEST_F(SerialPosixImageFile, SecondOpenIsRefusedWhileTheFirstHoldsIt) {
    std::string path = WriteFile("locked.enc", Pattern(10));
    ImageFileHandle first = ImageFileOpen(path.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ImageFileOpen(path.c_str()), nullptr);
    EXPECT_TRUE(SerialErrorIsBusy(SerialLastError()));
    ImageFileClose(first);
    ImageFileHandle again = ImageFileOpen(path.c_str());
    EXPECT_NE(again, nullptr);
    ImageFileClose(again);
}

struct RefusedImageCase {
    const char* label;
    std::string (*make)(const std::string& folder);
    int error;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RefusedImageCase& c, std::ostream* os) {
    *os << c.label;
}

class SerialPosixRefusedImage : public SerialPosixImageFile,
                                public ::testing::WithParamInterface<RefusedImageCase> {};

TEST_P(SerialPosixRefusedImage, FailsAtOnceWithTheCause) {
    const RefusedImageCase& c = GetParam();
    std::string path = c.make(folder_);
    EXPECT_EQ(ImageFileOpen(path.c_str()), nullptr);
    EXPECT_EQ(SerialLastError(), static_cast<uint32_t>(c.error));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPosixRefusedImage,
    ::testing::Values(
        RefusedImageCase{"missing", [](const std::string& f) { return f + "/absent.enc"; }, ENOENT},
        RefusedImageCase{"empty_path", [](const std::string&) { return std::string(); }, ENOENT},
        RefusedImageCase{"directory", [](const std::string& f) { return f; }, EISDIR},
        // A FIFO with no writer would block a plain open for ever.
        RefusedImageCase{"fifo",
                         [](const std::string& f) {
                             std::string path = f + "/pipe.enc";
                             mkfifo(path.c_str(), 0600);
                             return path;
                         },
                         EINVAL}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(SerialPosixImageFileHandle, NullHandleFails) {
    uint64_t size = 0;
    uint8_t byte = 0;
    uint32_t received = 5;
    EXPECT_FALSE(ImageFileSize(nullptr, &size));
    EXPECT_FALSE(ImageFileRead(nullptr, &byte, 1, &received));
    EXPECT_EQ(received, 0u);
    ImageFileClose(nullptr);
}

}  // namespace
