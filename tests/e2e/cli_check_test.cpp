// check IMAGE: the offline image check and its exit codes; flash refuses the same images
// before it touches a port.
#include <sys/stat.h>

#include "cli_e2e_support.h"

namespace {

// Where the image path leads.
enum class ImagePlace { File, Missing, Fifo, Path };

struct CheckCase {
    const char* name;  // the file's name, or the path itself for ImagePlace::Path
    std::vector<uint8_t> bytes;
    ImagePlace place;
    int exitCode;
    const char* message;  // in the output (stdout on success, stderr otherwise)
};

std::vector<uint8_t> WithWrongCheckByte(std::vector<uint8_t> bytes) {
    bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
    return bytes;
}

class CliCheckTest : public CliE2ETest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CliCheckTest, JudgesTheImage) {
    const CheckCase& c = GetParam();
    std::string path = c.place == ImagePlace::Path ? c.name : dir + "/" + c.name;
    if (c.place == ImagePlace::File) path = WriteImage(c.name, c.bytes);
    if (c.place == ImagePlace::Fifo) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    const CliRun run = RunCli({"check", path}, {}, 20);
    EXPECT_FALSE(run.timedOut) << "a pipe or a device must be refused, not read";
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;

    const CliRun json = RunCli({"--json", "check", path});
    EXPECT_EQ(json.exitCode, c.exitCode);
    const auto values = JsonLines(json);
    ASSERT_EQ(values.size(), 1u) << json.out;
    EXPECT_EQ(values[0]["exit"].number, c.exitCode);
    EXPECT_EQ(values[0]["image_size"].number, static_cast<double>(c.bytes.size()));

    // flash judges the image the same way, and a bad one costs no port.
    if (c.exitCode == 0) return;
    bench.Configure(1, Unit("kestrale:U"));
    const CliRun flash = RunCli(Args(Ports(1, 1), {"flash", path}), {}, 20);
    EXPECT_EQ(flash.exitCode, c.exitCode) << flash.out << flash.err;
    EXPECT_NE(flash.err.find(c.message), std::string::npos) << flash.err;
    EXPECT_TRUE(bench.HostBytes(1).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Images, CliCheckTest,
    ::testing::Values(
        CheckCase{"good.enc", CliE2ETest::GoodImage(300), ImagePlace::File, 0, "Header:          66 01 2C"},
        CheckCase{"bad.enc", WithWrongCheckByte(CliE2ETest::GoodImage(300)), ImagePlace::File, 4,
                  "Invalid Image File. Firmware update not performed."},
        CheckCase{"empty.enc", {}, ImagePlace::File, 4, "the file is empty"},
        CheckCase{"oversized.enc", CliE2ETest::GoodImage(65537), ImagePlace::File, 4,
                  "65537 bytes, more than the 65536"},
        CheckCase{"missing.enc", {}, ImagePlace::Missing, 4, "The image file cannot be used.\n  "},
        CheckCase{"fifo.enc", {}, ImagePlace::Fifo, 4, "fifo.enc: not a regular file"},
        CheckCase{"/dev/urandom", {}, ImagePlace::Path, 4, "/dev/urandom: not a regular file"},
        CheckCase{"/", {}, ImagePlace::Path, 4, "Is a directory"}),
    [](const ::testing::TestParamInfo<CheckCase>& param) {
        std::string name = param.param.name;
        if (name == "/") return std::string("directory");
        if (param.param.place == ImagePlace::Path) return "dev_" + name.substr(name.rfind('/') + 1);
        return name.substr(0, name.find('.'));
    });

TEST_F(CliE2ETest, CheckGivesTheHeaderAndBlocksOfTheLargestImage) {
    const CliRun run = RunCli({"check", WriteImage("full.enc", GoodImage(65536))});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Header:          66 00 00 66"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Blocks:          256 (256 of 256 bytes"), std::string::npos) << run.out;
}

}  // namespace
