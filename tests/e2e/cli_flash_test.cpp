// flash IMAGE: uploads at every speed, the unit's failure answers, refusals, --json.
#include <chrono>
#include <map>
#include <thread>

#include "cli_e2e_support.h"

namespace {

const std::vector<uint8_t> SPEED_BACK_TO_115200 = {0x53, 0x07, 0x5A};

const char* const NEW_VERSION = "Update Successful. New version is 01.06.A";
const char* const VERSION_UNREAD = "Update Successful. The new firmware version could not be read.";

struct SpeedCase {
    const char* name;
    int speed;
    const char* after;     // what the unit does after programming (unit options)
    const char* headline;
    const char* back;      // the words on the way back to 115200 ("" for none)
    int speedCommands;     // 'S' requests the flash sent
    int leftAt;            // the unit's speed when the flash has ended
};

class CliFlashSpeedTest : public CliE2ETest, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(CliFlashSpeedTest, UploadsTheImageAndLeavesTheUnitAt115200) {
    const SpeedCase& c = GetParam();
    bench.Configure(1, Unit(std::string("kestrale:U ") + c.after));
    const auto image = GoodImage(3000);
    const CliRun run = RunCli(Args(Ports(1, 1), {"--speed", std::to_string(c.speed), "flash", WriteImage("fw.enc", image)}));

    // The final status was good: a success, whatever came after it, and said as it was.
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(c.headline), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(c.back), std::string::npos) << run.out;
    EXPECT_EQ(bench.ReceivedImage(1), image);
    EXPECT_EQ(bench.UnitSpeed(1), c.leftAt);
    EXPECT_EQ(bench.SpeedCommands(1), c.speedCommands);
    EXPECT_FALSE(bench.PortInUse(1));

    // The next run finds the unit: at 115200, or where the report said it stays.
    if (std::string(c.after).find("mute") != std::string::npos) return;
    const CliRun next = RunCli(Args(Ports(1, 1), {"info"}));
    EXPECT_EQ(next.exitCode, 0) << next.out << next.err;
    EXPECT_NE(next.out.find("01.06.A"), std::string::npos) << next.out;
    EXPECT_EQ(bench.UnitSpeed(1), 115200);
}

const char* const RESTARTED = "The unit restarted at 115200 bit/s after programming.";
const char* const SILENT_AFTER = " nor at 115200 bit/s after programming.";

INSTANTIATE_TEST_SUITE_P(
    Speeds, CliFlashSpeedTest,
    ::testing::Values(
        SpeedCase{"115200", 115200, "", NEW_VERSION, "", 0, 115200},
        SpeedCase{"230400", 230400, "", NEW_VERSION, RESTARTED, 1, 115200},
        SpeedCase{"460800", 460800, "", NEW_VERSION, RESTARTED, 1, 115200},
        SpeedCase{"921600", 921600, "", NEW_VERSION, RESTARTED, 1, 115200},
        SpeedCase{"230400_stays_fast", 230400, "stays-fast", NEW_VERSION,
                  "The unit went on at 230400 bit/s after programming and was switched back to 115200 bit/s.", 2, 115200},
        SpeedCase{"921600_stays_fast", 921600, "stays-fast", NEW_VERSION,
                  "The unit went on at 921600 bit/s after programming and was switched back to 115200 bit/s.", 2, 115200},
        // Silent once programmed: the version is not made up, the speeds it was asked at are said.
        SpeedCase{"115200_silent_after", 115200, "mute-after", VERSION_UNREAD, "", 0, 115200},
        SpeedCase{"921600_silent_after", 921600, "mute-after", VERSION_UNREAD,
                  "The unit answered neither at 921600 bit/s nor at 115200 bit/s after programming.", 1, 115200},
        SpeedCase{"460800_stays_fast_silent_after", 460800, "stays-fast mute-after", VERSION_UNREAD, SILENT_AFTER, 1,
                  460800},
        // It answers at the fast speed only: it refuses the way back, and the report says where it is.
        SpeedCase{"921600_fast_only", 921600, "stays-fast fault=speed:1:byte:?", NEW_VERSION,
                  "The unit answers at 921600 bit/s after programming but did not take the switch back to 115200 "
                  "bit/s: it stays at 921600 bit/s until it is power-cycled, and drusel-update --port finds it there.",
                  2, 921600}),
    [](const ::testing::TestParamInfo<SpeedCase>& param) { return std::string(param.param.name); });

struct FailureCase {
    const char* name;
    const char* unit;
    int speed;
    int exitCode;
    const char* message;
    bool imageComplete;  // the failure came after the unit had every block
    const char* words;   // what failed, the step, the unit's state, the next step
};

class CliFlashFailureTest : public CliE2ETest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFlashFailureTest, GivesTheExitCodeAndTheWords) {
    const FailureCase& c = GetParam();
    bench.Configure(1, Unit(c.unit));
    const CliRun run = RunCli(
        Args(Ports(1, 1), {"--speed", std::to_string(c.speed), "flash", WriteImage("fw.enc", GoodImage(1500))}));
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("/dev/pts/"), std::string::npos) << "the port is named: " << run.err;
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("RESULT_"), std::string::npos) << "code names are for --json and --log: " << run.err;
    EXPECT_EQ(bench.ReceivedImage(1).empty(), !c.imageComplete);
    // A unit that refused the switch never left 115200.
    if (c.speed != 115200 && std::string(c.unit).find("fault=speed") == std::string::npos) {
        EXPECT_TRUE(Contains(bench.HostBytes(1), SPEED_BACK_TO_115200)) << "the unit must be asked back to 115200";
    }
    // After a hang-up the emulator's side sees the close a moment later on a loaded machine.
    for (int i = 0; i < 100 && bench.PortInUse(1); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(bench.PortInUse(1));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CliFlashFailureTest,
    ::testing::Values(
        FailureCase{"final_E", "kestrale:U fault=final:byte:E", 115200, 6,
                    "Firmware image is invalid or corrupt, or upload failed. (Ext. CS).", true, "The unit holds no complete firmware. Check the image with drusel-update check"},
        FailureCase{"final_I", "kestrale:U fault=final:byte:I", 115200, 6,
                    "Firmware image is invalid or corrupt. (Int. CS).", true, "the unit found the image's internal checksum wrong ('I') at the final status"},
        FailureCase{"final_W", "kestrale:U fault=final:byte:W", 115200, 6,
                    "Firmware failed during flash process.\nYou will need to cold-reboot the Kestrale and try again.", true, "the unit failed while programming its flash ('W') at the final status, after the last block. The unit holds no complete firmware. Power-cycle it"},
        FailureCase{"final_R", "kestrale:U fault=final:byte:R", 115200, 6,
                    "Firmware buffering failed. You may try again. If it fails, contact support.", true, "the unit could not buffer the image ('R') at the final status"},
        FailureCase{"final_F", "kestrale:U fault=final:byte:F", 115200, 6, "Kestrale returned an invalid response.", true, "the unit reported a failure ('F') after the last block"},
        FailureCase{"final_refused", "kestrale:U fault=final:byte:?", 115200, 6, "Update Failed!", true, "the unit refused the image ('?') at the final status"},
        FailureCase{"block_refused", "kestrale:U fault=block:2:byte:?", 115200, 6, "Update Failed!", false, "at block 3 of 6. The unit holds no complete firmware."},
        // A stray byte after an answer shifts nothing: the real final status is read.
        FailureCase{"stray_then_final_W", "kestrale:U fault=block:2:extra:X fault=final:byte:W", 115200, 6,
                    "Firmware failed during flash process.", true, "('W') at the final status"},
        FailureCase{"stray_refusal", "kestrale:U fault=block:1:extra:?", 115200, 6, "Update Failed!", false, "the unit sent '?' before block 3 of 6 was written, which ends an upload"},
        FailureCase{"block_R", "kestrale:U fault=block:1:byte:R", 115200, 6, "Firmware buffering failed.", false, "the unit could not buffer the image ('R') at block 2 of 6"},
        FailureCase{"header_refused", "kestrale:U fault=header:byte:?", 115200, 6,
                    "Kestrale returned an invalid response.", false, "the unit did not accept the upload header (no answer, or not 'O'). No image byte was taken; the unit's firmware is unchanged."},
        FailureCase{"block_hangup", "kestrale:U fault=block:3:hangup", 115200, 5, "Update Failed!", false, "The unit's state is unknown: it may hold its old firmware or none."},
        FailureCase{"final_E_fast", "kestrale:U fault=final:byte:E", 460800, 6, "(Ext. CS)", true, "at the final status"},
        FailureCase{"speed_refused", "kestrale:U fault=speed:byte:X", 921600, 6, "did not move to 921600 bit/s", false, "the unit did not move to 921600 bit/s (it refused); nothing of the image was sent"}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

TEST_F(CliE2ETest, FlashRefusesAUnitThatCannotTakeFirmware) {
    bench.Configure(1, Unit("tamberlin2"));
    const CliRun run = RunCli(Args(Ports(1, 1), {"flash", WriteImage("fw.enc", GoodImage(600))}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Tamberlin II v3.1.2 on " + ShownPort(1) + " cannot take firmware"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Device not found"), std::string::npos) << "a unit did answer: " << run.err;
    EXPECT_FALSE(Contains(bench.HostBytes(1), {0x66}));
}

TEST_F(CliE2ETest, FlashWithoutAUnitExitsWithNoUnit) {
    bench.Configure(2, UnitConfig::Silent());  // one port opens: no unit, not a port failure
    const CliRun run = RunCli(Args(Ports(1, 2), {"flash", WriteImage("fw.enc", GoodImage(600))}));
    EXPECT_EQ(run.exitCode, 3);
}

TEST_F(CliE2ETest, FlashOfABadImageTouchesNoPort) {
    bench.Configure(1, Unit("kestrale:U"));
    auto image = GoodImage(600);
    image.back() ^= 0x01;
    const CliRun run = RunCli(Args(Ports(1, 1), {"flash", WriteImage("bad.enc", image)}));
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("Invalid Image File. Firmware update not performed."), std::string::npos);
    EXPECT_TRUE(bench.HostBytes(1).empty());
}

TEST_F(CliE2ETest, DryRunIdentifiesAndSendsNothingOfTheUpload) {
    bench.Configure(1, Unit("gristpell"));
    const CliRun run =
        RunCli(Args(Ports(1, 1), {"--speed", "921600", "flash", "--dry-run", WriteImage("fw.enc", GoodImage(700))}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("nothing was sent"), std::string::npos) << run.out;
    EXPECT_EQ(bench.SpeedCommands(1), 0);
    EXPECT_TRUE(bench.ReceivedImage(1).empty());
    EXPECT_FALSE(Contains(bench.HostBytes(1), {0x66, 0x02, 0xBC}));
}

TEST_F(CliE2ETest, FlashAsJsonReportsProgressAndTheResult) {
    bench.Configure(1, Unit("kestrale:S version=2.0.A after=2.1.A"));
    const auto image = GoodImage(20000);
    const CliRun run =
        RunCli(Args(Ports(1, 1), {"--json", "--speed", "460800", "flash", WriteImage("fw.enc", image)}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto values = JsonLines(run);
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(values.front()["event"].text, "unit");
    EXPECT_EQ(values.front()["version"].text, "02.00.A");
    double lastBytes = -1;
    int progressLines = 0;
    for (const JsonValue& value : values) {
        if (value["event"].text != "progress") continue;
        ++progressLines;
        EXPECT_GT(value["bytes"].number, lastBytes);
        EXPECT_EQ(value["total"].number, 20000);
        lastBytes = value["bytes"].number;
    }
    EXPECT_GT(progressLines, 10);
    EXPECT_EQ(lastBytes, 20000);
    const JsonValue& result = values.back();
    EXPECT_EQ(result["event"].text, "result");
    EXPECT_EQ(result["exit"].number, 0);
    EXPECT_EQ(result["result"].number, 0);
    EXPECT_EQ(result["new_version"].text, "02.01.A");
    EXPECT_EQ(result["message"].text, "Update Successful. New version is 02.01.A");
    EXPECT_EQ(result["speed"].number, 460800);
    EXPECT_TRUE(result["back_at_115200"].boolean);
    EXPECT_EQ(result["final_status"].number, 'O');
    EXPECT_EQ(result["unlisted_block_answers"].number, 0);
    EXPECT_EQ(result["blocks_total"].number, 79);
    EXPECT_EQ(result["blocks_taken"].number, 79);
    EXPECT_TRUE(result["version_changed"].boolean);
    const std::string last = run.out.substr(run.out.rfind("{\"event\":\"result\""));
    EXPECT_EQ(last.find("\"blocks\":"), last.rfind("\"blocks\":")) << "one blocks key: " << last;
    EXPECT_EQ(bench.ReceivedImage(1), image);
}

// Successes in which the unit said something odd: the result stays success, the words say what came.
struct OddAnswerCase {
    const char* name;
    const char* unit;
    const char* headline;
    const char* said;  // in the detail line
    int finalStatus;
    int unlisted;
    bool versionChanged;
};

class CliFlashOddAnswerTest : public CliE2ETest, public ::testing::WithParamInterface<OddAnswerCase> {};

TEST_P(CliFlashOddAnswerTest, StaysSuccessAndSaysWhatCame) {
    const OddAnswerCase& c = GetParam();
    bench.Configure(1, Unit(c.unit));
    const std::string image = WriteImage("fw.enc", GoodImage(1500));  // six blocks
    const CliRun run = RunCli(Args(Ports(1, 1), {"flash", image}));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(c.headline), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(c.said), std::string::npos) << run.out;
    if (!c.versionChanged) {
        EXPECT_EQ(run.out.find("New version"), std::string::npos) << run.out;
    }

    bench.Configure(1, Unit(c.unit));
    const CliRun json = RunCli(Args(Ports(1, 1), {"--json", "flash", image}));
    const auto values = JsonLines(json);
    ASSERT_FALSE(values.empty()) << json.out;
    const JsonValue& result = values.back();
    EXPECT_EQ(result["final_status"].number, c.finalStatus);
    EXPECT_EQ(result["unlisted_block_answers"].number, c.unlisted);
    EXPECT_EQ(result["version_changed"].boolean, c.versionChanged);
    EXPECT_EQ(result["old_version"].text, "01.05.A");
}

INSTANTIATE_TEST_SUITE_P(
    OddAnswers, CliFlashOddAnswerTest,
    ::testing::Values(
        OddAnswerCase{"final_unlisted", "kestrale:U fault=final:byte:0x00",
                      "Update Successful. The version is still 01.05.A",
                      "The unit ended with 0x00, which is not one of its documented answers", 0, 0, false},
        OddAnswerCase{"block_unlisted", "kestrale:U fault=block:3:byte:W", "Update Successful. New version is 01.06.A",
                      "1 of 6 blocks was answered with a byte that is not one of the unit's documented answers "
                      "(0x57 ('W'))",
                      'O', 1, true},
        OddAnswerCase{"blocks_unlisted", "kestrale:U fault=block:byte:C", "Update Successful. New version is 01.06.A",
                      "6 of 6 blocks were answered with bytes that are not among the unit's documented answers "
                      "(the first 0x43 ('C'))",
                      'O', 6, true},
        OddAnswerCase{"same_version", "kestrale:U after=1.5.A", "Update Successful. The version is still 01.05.A",
                      "Uploaded 1500 bytes", 'O', 0, false},
        // A byte ahead of the last block's answer pushes that answer into the final status's
        // place: the version comparison is what shows that the unit did not take the image.
        OddAnswerCase{"early_before_last_block", "kestrale:U fault=block:5:early:O fault=final:byte:W",
                      "Update Successful. The version is still 01.05.A", "Uploaded 1500 bytes", 'O', 0, false}),
    [](const ::testing::TestParamInfo<OddAnswerCase>& param) { return std::string(param.param.name); });

TEST_F(CliE2ETest, FlashPrintsPlainProgressLinesIntoAPipe) {
    bench.Configure(1, Unit("kestrale:U"));
    const CliRun run = RunCli(Args(Ports(1, 1), {"flash", WriteImage("fw.enc", GoodImage(8192))}));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("progress: 8192/8192 bytes (100%)"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "no bar redraws into a pipe";

    const CliRun quiet = RunCli(Args(Ports(1, 1), {"--quiet", "flash", WriteImage("fw2.enc", GoodImage(8192))}));
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.out, "");
}

}  // namespace

// Several units at once (flash --all): each unit's outcome is its own, reported per port.
namespace {

TEST_F(CliE2ETest, FlashAllUpdatesEveryUnitAndReportsEachByPort) {
    bench.Configure(1, Unit("kestrale:U paced"));
    bench.Configure(2, Unit("kestrale:S paced fault=block:3:byte:?"));
    bench.Configure(3, Unit("gristpell paced"));
    bench.Configure(4, Unit("kestrale:U paced fault=block:5:silence"));
    const std::vector<uint8_t> image = GoodImage(4000);
    const CliRun run = RunCli(Args(Ports(1, 4), {"--json", "flash", "--all", "--yes", "-s", "460800",
                                                  WriteImage("fw.enc", image)}),
                              {}, 120);
    EXPECT_EQ(run.exitCode, 6) << "the first failing unit in port order refused a block: " << run.out;
    EXPECT_EQ(bench.ReceivedImage(1), image);
    EXPECT_EQ(bench.ReceivedImage(3), image);
    EXPECT_TRUE(bench.ReceivedImage(2).empty());
    EXPECT_TRUE(bench.ReceivedImage(4).empty());

    std::map<std::string, JsonValue> results;
    std::map<std::string, int> progressLines;
    for (const JsonValue& value : JsonLines(run)) {
        const std::string event = value["event"].text;
        if (event == "unit_result") results[value["port"].text] = value;
        if (event == "progress") ++progressLines[value["port"].text];
        if (event != "result") {
            EXPECT_FALSE(value["port"].text.empty()) << "every line names its port";
        }
    }
    ASSERT_EQ(results.size(), 4u) << run.out;
    const int exits[] = {0, 6, 0, 6};  // a refused block, a block never answered
    for (int i = 1; i <= 4; ++i) {
        const JsonValue& result = results[bench.PortName(i)];
        EXPECT_EQ(result["exit"].number, exits[i - 1]) << i << ": " << result["message"].text;
        EXPECT_GT(progressLines[bench.PortName(i)], 0) << i;
        EXPECT_FALSE(bench.PortInUse(i)) << i;
    }
    EXPECT_EQ(results[bench.PortName(3)]["flash"]["new_version"].text, "12.01.F");
    const JsonValue last = JsonLines(run).back();
    EXPECT_EQ(last["units"].number, 4);
    EXPECT_EQ(last["units_updated"].number, 2);
}

TEST_F(CliE2ETest, FlashAllInWordsListsTheUnitsThenSumsUp) {
    bench.Configure(2, Unit("kestrale:U"));
    bench.Configure(3, Unit("tamberlin1"));
    bench.Configure(4, Unit("gristpell"));
    const CliRun run = RunCli(Args(Ports(1, 4), {"flash", "--all", "-y", WriteImage("fw.enc", GoodImage(900))}));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Tamberlin I v2.3.1  02.03.1  (cannot take firmware; left alone)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("01.05.A -> 01.06.A  updated"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("12.00.F -> 12.01.F  updated"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("All 2 units were updated."), std::string::npos) << run.out;
}

// Without a terminal to ask on, several units need --yes; one unit does not.
TEST_F(CliE2ETest, FlashAllOfSeveralUnitsWithoutYesIsAUsageError) {
    bench.Configure(2, Unit("kestrale:U"));
    bench.Configure(4, Unit("gristpell"));
    const std::string image = WriteImage("fw.enc", GoodImage(900));
    const CliRun several = RunCli(Args(Ports(1, 4), {"flash", "--all", image}));
    EXPECT_EQ(several.exitCode, 2) << several.out << several.err;
    EXPECT_NE(several.err.find("Give --yes to flash them all without asking; nothing was sent."), std::string::npos)
        << several.err;
    EXPECT_TRUE(bench.ReceivedImage(2).empty());
    EXPECT_FALSE(bench.PortInUse(2));

    const CliRun one = RunCli(Args(Ports(3, 4), {"flash", "--all", image}));
    EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
    EXPECT_FALSE(bench.ReceivedImage(4).empty());
}

// The scan asks every port at once, but "the" unit is still the first in port order.
TEST_F(CliE2ETest, TheFirstUnitInPortOrderIsTheUnitOfASingleFlash) {
    bench.Configure(1, UnitConfig::Silent());
    bench.Configure(2, Unit("kestrale:S"));
    bench.Configure(3, UnitConfig::Silent());
    bench.Configure(4, Unit("gristpell"));
    const std::vector<uint8_t> image = GoodImage(700);
    const CliRun run = RunCli(Args(Ports(1, 4), {"flash", WriteImage("fw.enc", image)}));
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Found Kestrale Serial v1.5.A on " + ShownPort(2)), std::string::npos) << run.out;
    EXPECT_EQ(bench.ReceivedImage(2), image);
    EXPECT_TRUE(bench.ReceivedImage(4).empty());
    EXPECT_FALSE(bench.PortInUse(4)) << "the other unit's port is let go";
}

}  // namespace
