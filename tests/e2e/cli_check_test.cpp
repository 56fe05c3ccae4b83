// check IMAGE: the offline image check and its exit codes.
#include "cli_e2e_support.h"

namespace {

struct CheckCase {
    const char* name;
    std::vector<uint8_t> bytes;
    bool createFile;
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
    const std::string path = c.createFile ? WriteImage(c.name, c.bytes) : dir + "/" + c.name;
    const CliRun run = RunCli({"check", path});
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;

    const CliRun json = RunCli({"--json", "check", path});
    EXPECT_EQ(json.exitCode, c.exitCode);
    const auto values = JsonLines(json);
    ASSERT_EQ(values.size(), 1u) << json.out;
    EXPECT_EQ(values[0]["exit"].number, c.exitCode);
    EXPECT_EQ(values[0]["image_size"].number, static_cast<double>(c.bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Images, CliCheckTest,
    ::testing::Values(
        CheckCase{"good.enc", CliE2ETest::GoodImage(300), true, 0, "Header:          66 01 2C"},
        CheckCase{"bad.enc", WithWrongCheckByte(CliE2ETest::GoodImage(300)), true, 4,
                  "Invalid Image File. Firmware update not performed."},
        CheckCase{"empty.enc", {}, true, 4, "the file is empty"},
        CheckCase{"oversized.enc", CliE2ETest::GoodImage(65537), true, 4, "65537 bytes, more than the 65536"},
        CheckCase{"missing.enc", {}, false, 5, "cannot open the image file"}),
    [](const ::testing::TestParamInfo<CheckCase>& param) {
        std::string name = param.param.name;
        return name.substr(0, name.find('.'));
    });

TEST_F(CliE2ETest, CheckGivesTheHeaderAndBlocksOfTheLargestImage) {
    const CliRun run = RunCli({"check", WriteImage("full.enc", GoodImage(65536))});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Header:          66 00 00 66"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Blocks:          256 (256 of 256 bytes"), std::string::npos) << run.out;
}

}  // namespace
