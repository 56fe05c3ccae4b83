// Ctrl-C (SIGINT) during a paced upload: once it only warns, twice it stops the upload,
// asks the unit back to 115200 and exits with 7.
#include <signal.h>

#include <algorithm>

#include "cli_e2e_support.h"

namespace {

// Presses Ctrl-C on progress lines: the first press once some bytes are out, each further
// press on a later progress line, so the tool has taken the previous one.
struct CtrlCPresser {
    int wanted;
    int pressed = 0;
    void operator()(const std::string& line, pid_t child) {
        if (pressed >= wanted || line.find("\"event\":\"progress\"") == std::string::npos) return;
        if (line.find("\"bytes\":0,") != std::string::npos) return;
        kill(child, SIGINT);
        ++pressed;
    }
};

TEST_F(CliE2ETest, OneCtrlCDuringTheUploadOnlyWarns) {
    bench.Configure(1, Unit("kestrale:U paced"));
    const auto image = GoodImage(16384);
    CtrlCPresser presser{1};
    const CliRun run = RunCli(Args(Ports(1, 1), {"--json", "flash", WriteImage("fw.enc", image)}),
                              [&](const std::string& line, pid_t child) { presser(line, child); });
    EXPECT_EQ(presser.pressed, 1);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Stopping now leaves the unit without firmware."), std::string::npos) << run.err;
    EXPECT_EQ(bench.ReceivedImage(1), image);
}

TEST_F(CliE2ETest, TwoCtrlCDuringTheUploadStopItAndAskTheUnitBack) {
    bench.Configure(1, Unit("kestrale:U paced"));
    CtrlCPresser presser{2};
    const CliRun run = RunCli(
        Args(Ports(1, 1), {"--json", "--speed", "230400", "flash", WriteImage("fw.enc", GoodImage(65536))}),
        [&](const std::string& line, pid_t child) { presser(line, child); });
    EXPECT_EQ(presser.pressed, 2);
    EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
    EXPECT_NE(run.err.find("Stopping the upload after the current block."), std::string::npos) << run.err;
    EXPECT_TRUE(bench.ReceivedImage(1).empty());
    // After the upload header, the speed command back to 115200 went out.
    const auto bytes = bench.HostBytes(1);
    const std::vector<uint8_t> uploadHeader = {0x66, 0x00, 0x00, 0x66};
    const auto header = std::search(bytes.begin(), bytes.end(), uploadHeader.begin(), uploadHeader.end());
    ASSERT_NE(header, bytes.end());
    EXPECT_TRUE(Contains(std::vector<uint8_t>(header, bytes.end()), {0x53, 0x07, 0x5A}));
    const auto values = JsonLines(run);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back()["exit"].number, 7);
    EXPECT_NE(values.back()["detail"].text.find("stopped by the user"), std::string::npos);
    EXPECT_FALSE(bench.PortInUse(1));
}

}  // namespace

namespace {

TEST_F(CliE2ETest, CtrlCDuringTheScanStopsAtOnce) {
    for (int i = 1; i <= 4; ++i) bench.Configure(i, UnitConfig::Silent());
    bench.Configure(5, Unit("kestrale:U"));
    bool pressed = false;
    const CliRun run = RunCli(Args(Ports(1, 5), {"--log", "info"}), {}, 120, [&](const std::string& line, pid_t child) {
        if (!pressed && line == "Quorvantis: Port opened and initialized successfully.") {
            kill(child, SIGINT);
            pressed = true;
        }
    });
    ASSERT_TRUE(pressed);
    EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
    EXPECT_EQ(run.out.find("Unit:"), std::string::npos) << "the scan must not reach the unit on port 5";
    EXPECT_TRUE(bench.HostBytes(5).empty());
    EXPECT_FALSE(bench.PortInUse(1));
}

TEST_F(CliE2ETest, LogPutsTheLinkDiagnosticLinesOnStderr) {
    bench.Configure(1, Unit("kestrale:U"));
    const CliRun run = RunCli(Args(Ports(1, 1), {"--log", "--quiet", "info"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Quorvantis: Port opened and initialized successfully."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Quorvantis: COM Port closed."), std::string::npos) << run.err;
}

}  // namespace
