// The upload's refusals before the transfer: each sends nothing, reports only the closing
// progress reset, and leaves the read time-out at 300 ms and idle at 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "device_link.h"
#include "image_file.h"
#include "serial_fake.h"
#include "upload_oracle.h"
#include "upload_test_files.h"
#include "upload_test_progress.h"

namespace {

struct RefusalCase {
    const char* name;
    bool portOpen;
    int32_t protocolFlags;
    // Prepares the image and returns the path to upload (or null for no path).
    std::function<const char*(UploadTestFiles&, std::string&)> image;
    ResultCode expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

const char* ValidImage(UploadTestFiles& files, std::string& path) {
    path = files.Write("good.enc", MakeValidImage(300));
    return path.c_str();
}

const RefusalCase kRefusals[] = {
    {"NullPath", true, 2, [](UploadTestFiles&, std::string&) -> const char* { return nullptr; }, RESULT_FAILED},
    {"NullPathBeforeEverythingElse", false, 1,
     [](UploadTestFiles&, std::string&) -> const char* { return nullptr; }, RESULT_FAILED},
    // Capability before the file: a missing file is not even looked at.
    {"NoCapability", true, 1,
     [](UploadTestFiles& f, std::string& p) { p = f.PathOf("missing.enc"); return p.c_str(); }, RESULT_REFUSED},
    {"NoCapabilityWithGoodImage", true, 1, ValidImage, RESULT_REFUSED},
    {"ClosedLink", false, 2, ValidImage, RESULT_NOT_OPEN},
    {"MissingFile", true, 2,
     [](UploadTestFiles& f, std::string& p) { p = f.PathOf("missing.enc"); return p.c_str(); }, RESULT_FAILED},
    {"EmptyPath", true, 2, [](UploadTestFiles&, std::string&) { return ""; }, RESULT_FAILED},
    {"BadCheckByte", true, 2,
     [](UploadTestFiles& f, std::string& p) {
         std::vector<uint8_t> image = MakeValidImage(300);
         image.back() = static_cast<uint8_t>(image.back() + 1);
         p = f.Write("bad.enc", image);
         return p.c_str();
     },
     RESULT_BAD_IMAGE},
    {"OneNonZeroByte", true, 2, [](UploadTestFiles& f, std::string& p) { p = f.Write("one.enc", {0x01}); return p.c_str(); },
     RESULT_BAD_IMAGE},
    {"EmptyImage", true, 2, [](UploadTestFiles& f, std::string& p) { p = f.Write("empty.enc", {}); return p.c_str(); },
     RESULT_BAD_IMAGE},
    {"OneByteTooLarge", true, 2,
     [](UploadTestFiles& f, std::string& p) { p = f.Write("big.enc", MakeValidImage(65537)); return p.c_str(); },
     RESULT_BAD_IMAGE},
    // Flags 3 carry the capability bit: the check is for the bit, not the value 2.
    {"CapabilityBitAmongOthersStillChecksImage", true, 3,
     [](UploadTestFiles& f, std::string& p) { p = f.Write("empty.enc", {}); return p.c_str(); }, RESULT_BAD_IMAGE},
};

class UploadRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(UploadRefusalTest, SendsNothingAndRestoresTheLink) {
    const RefusalCase& c = GetParam();
    FakeSerial& fake = FakeSerial::Get();
    fake.Reset();
    DeviceLink link;
    UploadTestFiles files;
    ProgressRecorder progress;
    if (c.portOpen) {
        ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
        ASSERT_EQ(link.SetReadTimeout(1234), RESULT_OK);  // so that the restore shows
    }
    link.protocolFlags = c.protocolFlags;
    std::string path;
    const char* imagePath = c.image(files, path);
    fake.ClearCalls();

    EXPECT_EQ(link.UploadFirmware(imagePath, progress.Target()), c.expected);

    EXPECT_EQ(fake.CountCalls("write"), 0u);
    EXPECT_EQ(fake.CountCalls("purge"), 0u);
    EXPECT_EQ(progress.Events(), ProgressRecorder::Expected(false, 0, 0));
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(link.protocolFlags, c.protocolFlags);
    if (c.portOpen) {
        EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
    }
    // The file is closed again: an exclusive opener gets it.
    if (!path.empty() && std::filesystem::exists(path)) {
        ImageFileHandle again = ImageFileOpen(path.c_str());
        EXPECT_NE(again, nullptr) << "the image file was left open";
        if (again != nullptr) ImageFileClose(again);
    }
}

INSTANTIATE_TEST_SUITE_P(Refusals, UploadRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& p) { return p.param.name; });

class UploadFileAccess : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
        link.protocolFlags = 2;
        fake.SetPeer([](const uint8_t*, size_t n) {
            return n == 4 || n == 256 ? std::vector<uint8_t>{'O'} : std::vector<uint8_t>{'O', 'O'};
        });
        fake.ClearCalls();
    }
    FakeSerial& fake = FakeSerial::Get();
    DeviceLink link;
    UploadTestFiles files;
};

TEST_F(UploadFileAccess, FileHeldByAnotherOpenerIsRefused) {
    std::string path = files.Write("held.enc", MakeValidImage(300));
    ImageFileHandle other = ImageFileOpen(path.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_FAILED);
    EXPECT_EQ(fake.CountCalls("write"), 0u);
    ImageFileClose(other);
    // Once let go, the same file uploads.
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
}

TEST_F(UploadFileAccess, ImageIsHeldExclusivelyDuringTheUpload) {
    std::string path = files.Write("busy.enc", MakeValidImage(600));
    int openedDuringUpload = -1;
    fake.SetPeer([&](const uint8_t*, size_t n) {
        if (n == 4) {
            ImageFileHandle probe = ImageFileOpen(path.c_str());
            openedDuringUpload = probe != nullptr;
            if (probe != nullptr) ImageFileClose(probe);
        }
        return n == 4 || n == 256 ? std::vector<uint8_t>{'O'} : std::vector<uint8_t>{'O', 'O'};
    });
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
    EXPECT_EQ(openedDuringUpload, 0) << "another opener got the image while it was uploading";
}

TEST_F(UploadFileAccess, LargestImageUploadsAndFileIsNotChanged) {
    std::vector<uint8_t> image = MakeValidImage(65536, 21);
    std::string path = files.Write("max.enc", image);
    auto before = std::filesystem::last_write_time(path);
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
    EXPECT_EQ(std::filesystem::file_size(path), 65536u);
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

// The size is the full 64-bit size: 4 GiB + 300 bytes is no 300-byte image. A sparse
// file costs no disk; where the file system cannot make one the test is skipped.
TEST_F(UploadFileAccess, SizeBeyondFourGibibytesIsNotTruncated) {
    std::string path = files.Write("huge.enc", MakeValidImage(300));
    std::error_code error;
    std::filesystem::resize_file(path, (uint64_t{1} << 32) + 300, error);
    if (error) GTEST_SKIP() << "no sparse file here: " << error.message();
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_BAD_IMAGE);
    EXPECT_EQ(fake.CountCalls("write"), 0u);
}

}  // namespace
