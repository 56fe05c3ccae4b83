// Image file faults the real file system does not produce on demand, through a scripted
// image file layer: each is refused before anything reaches the port, and the file is
// closed on every path.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "device_link.h"
#include "serial_fake.h"
#include "upload_image_file_fake.h"
#include "upload_oracle.h"

namespace {

struct FileFaultCase {
    const char* name;
    void (*arrange)(FakeImageFile&);
    ResultCode expected;
    int reads;  // file reads the upload must have made
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FileFaultCase& c, std::ostream* os) { *os << c.name; }

const FileFaultCase kFileFaults[] = {
    {"OpenFails", [](FakeImageFile& f) { f.openFails = true; }, RESULT_FAILED, 0},
    {"SizeCannotBeRead", [](FakeImageFile& f) { f.sizeFails = true; }, RESULT_FAILED, 0},
    {"ReadFails", [](FakeImageFile& f) { f.readFails = true; }, RESULT_READ_FAILED, 1},
    // A read that comes back short is no image with a zero-filled tail.
    {"ReadReturnsFewerBytes", [](FakeImageFile& f) { f.readDeliversAtMost = 299; }, RESULT_READ_FAILED, 1},
    {"ReadReturnsNothing", [](FakeImageFile& f) { f.readDeliversAtMost = 0; }, RESULT_READ_FAILED, 1},
    // The zero-filled buffer would pass the check if the short read were taken as whole.
    {"ShortReadOfZeroTailedImage",
     [](FakeImageFile& f) {
         f.SetContent(std::vector<uint8_t>(300, 0));
         f.readDeliversAtMost = 100;
     },
     RESULT_READ_FAILED, 1},
    // Size limits are judged before any buffer or read: none of these reads at all.
    {"EmptyFile", [](FakeImageFile& f) { f.SetContent({}); }, RESULT_BAD_IMAGE, 0},
    {"LargerThanTheHeaderCanAnnounce", [](FakeImageFile& f) { f.reportedSize = 65537; }, RESULT_BAD_IMAGE, 0},
    {"SizeWithHighBitsSet", [](FakeImageFile& f) { f.reportedSize = (uint64_t{1} << 32) + 300; }, RESULT_BAD_IMAGE, 0},
    {"LargestSizeValue", [](FakeImageFile& f) { f.reportedSize = ~uint64_t{0}; }, RESULT_BAD_IMAGE, 0},
};

class UploadFileFaultTest : public ::testing::TestWithParam<FileFaultCase> {};

TEST_P(UploadFileFaultTest, IsRefusedBeforeTheTransfer) {
    const FileFaultCase& c = GetParam();
    FakeSerial& fake = FakeSerial::Get();
    fake.Reset();
    fake.SetPeer([](const uint8_t*, size_t) { return std::vector<uint8_t>{'O', 'O'}; });
    FakeImageFile& file = FakeImageFile::Get();
    file.Reset();
    file.SetContent(MakeValidImage(300));
    c.arrange(file);

    DeviceLink link;
    ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
    ASSERT_EQ(link.SetReadTimeout(1234), RESULT_OK);  // so that the restore to 300 ms shows
    link.protocolFlags = 2;
    fake.ClearCalls();

    EXPECT_EQ(link.UploadFirmware("image.enc", nullptr), c.expected);
    EXPECT_EQ(fake.CountCalls("write"), 0u);
    EXPECT_EQ(file.reads, c.reads);
    EXPECT_EQ(file.closes, file.opens) << "the image file was left open";
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
}

INSTANTIATE_TEST_SUITE_P(FileFaults, UploadFileFaultTest, ::testing::ValuesIn(kFileFaults),
                         [](const ::testing::TestParamInfo<FileFaultCase>& p) { return p.param.name; });

// The file is read in one read and closed after a transfer that failed on the wire too.
TEST(UploadFileFault, FileIsClosedAfterAWireFailure) {
    FakeSerial& fake = FakeSerial::Get();
    fake.Reset();
    fake.SetPeer([](const uint8_t*, size_t) { return std::vector<uint8_t>{}; });  // silent unit
    FakeImageFile& file = FakeImageFile::Get();
    file.Reset();
    file.SetContent(MakeValidImage(300));
    DeviceLink link;
    ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
    link.protocolFlags = 2;
    EXPECT_EQ(link.UploadFirmware("image.enc", nullptr), RESULT_BAD_RESPONSE);
    EXPECT_EQ(file.reads, 1);
    EXPECT_EQ(file.opens, 1);
    EXPECT_EQ(file.closes, 1);
}

}  // namespace
