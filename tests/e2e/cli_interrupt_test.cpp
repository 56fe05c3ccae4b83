// Ctrl-C and the other signals during a paced upload: once Ctrl-C only warns; twice, or
// SIGTERM, stops the upload between blocks and exits with 7, leaving the unit reachable;
// SIGHUP and SIGPIPE stop nothing. And the way back to a unit left at a fast speed.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <thread>

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

// Waits, within a bound, for the unit to give up a request it was left in the middle of.
bool UnitGivesUp(SimBench& bench, int port) {
    for (int i = 0; i < 100 && bench.UnitWaiting(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !bench.UnitWaiting(port);
}

// A request to stop at each step of a fast flash: the tool exits 7, sends nothing the unit
// could take as image data once blocks have started, and a fresh `info --port` finds the
// unit at 115200 afterwards, wherever the stop left it.
TEST_F(CliE2ETest, AStopAtEachStepLeavesTheUnitReachable) {
    struct Row {
        const char* what;
        int signal;
        int sends;                // signals sent, one per trigger
        const char* stderrTrigger;  // a --log line to send on; null: on progress lines
        const char* speed;
        bool uploadBegan;
        const char* detail;
    };
    const Row rows[] = {
        {"two Ctrl-C between blocks", SIGINT, 2, nullptr, "230400", true, "Stopped after block "},
        {"SIGTERM between blocks", SIGTERM, 1, nullptr, "921600", true, "Stopped after block "},
        // The signal's thread may act only once a block or two have gone out.
        {"SIGTERM at the header", SIGTERM, 1, "Quorvantis: Comm Read Timeout Set To 6000 ms", "460800", true,
         "Stopped after block "},
        {"SIGTERM at the speed switch", SIGTERM, 1, "baud rate set to 460800", "460800", false,
         "Nothing of the image was sent."},
        {"SIGTERM during identification", SIGTERM, 1, "Quorvantis: Port opened and initialized successfully.",
         "921600", false, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        bench.Configure(1, Unit("kestrale:U paced"));
        int sent = 0;
        auto send = [&](pid_t child) {
            if (sent < row.sends) kill(child, row.signal), ++sent;
        };
        const CliRun run = RunCli(
            Args(Ports(1, 1), {"--json", "--log", "--speed", row.speed, "flash", WriteImage("fw.enc", GoodImage(65536))}),
            [&](const std::string& line, pid_t child) {
                if (row.stderrTrigger == nullptr && line.find("\"event\":\"progress\"") != std::string::npos &&
                    line.find("\"bytes\":0,") == std::string::npos)
                    send(child);
            },
            120,
            [&](const std::string& line, pid_t child) {
                if (row.stderrTrigger != nullptr && line.find(row.stderrTrigger) != std::string::npos) send(child);
            });
        EXPECT_EQ(sent, row.sends);
        EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
        EXPECT_TRUE(bench.ReceivedImage(1).empty());
        EXPECT_FALSE(bench.PortInUse(1));
        const auto bytes = bench.HostBytes(1);
        const std::vector<uint8_t> uploadHeader = {0x66, 0x00, 0x00, 0x66};
        const auto header = std::search(bytes.begin(), bytes.end(), uploadHeader.begin(), uploadHeader.end());
        EXPECT_EQ(header != bytes.end(), row.uploadBegan);
        if (row.uploadBegan) {
            EXPECT_FALSE(Contains(std::vector<uint8_t>(header, bytes.end()), {0x53, 0x07, 0x5A}))
                << "a speed command after the header would be taken as image data";
        }
        if (row.detail != nullptr) {
            const auto values = JsonLines(run);
            ASSERT_FALSE(values.empty());
            EXPECT_EQ(values.back()["exit"].number, 7);
            EXPECT_NE(values.back()["detail"].text.find(row.detail), std::string::npos) << values.back()["detail"].text;
        }

        ASSERT_TRUE(UnitGivesUp(bench, 1));
        const CliRun info = RunCli(Args(Ports(1, 1), {"info"}));
        EXPECT_EQ(info.exitCode, 0) << info.out << info.err;
        EXPECT_NE(info.out.find("Kestrale USB"), std::string::npos) << info.out;
        EXPECT_EQ(bench.UnitSpeed(1), 115200);
    }
}

// A closed terminal or output is not a request to stop the update: it runs to its end.
TEST_F(CliE2ETest, HangUpAndBrokenPipeDoNotStopTheUpdate) {
    for (int signal : {SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(signal);
        bench.Configure(1, Unit("kestrale:U paced"));
        const auto image = GoodImage(16384);
        bool sent = false;
        const CliRun run = RunCli(Args(Ports(1, 1), {"--json", "--speed", "921600", "flash", WriteImage("fw.enc", image)}),
                                  [&](const std::string& line, pid_t child) {
                                      if (!sent && line.find("\"event\":\"progress\"") != std::string::npos) {
                                          kill(child, signal);
                                          sent = true;
                                      }
                                  });
        EXPECT_TRUE(sent);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(bench.ReceivedImage(1), image);
        EXPECT_EQ(bench.UnitSpeed(1), 115200);
    }
}

// A unit an earlier run left at a fast speed: `info --port` finds it there and brings it
// back; `list` never sends at other speeds and says where to look.
TEST_F(CliE2ETest, AUnitLeftAtAFastSpeedIsFoundOnANamedPort) {
    for (const char* speed : {"230400", "460800", "921600"}) {
        SCOPED_TRACE(speed);
        bench.Configure(1, Unit(std::string("kestrale:U speed=") + speed));
        const CliRun list = RunCli(Args(Ports(1, 1), {"list"}));
        EXPECT_EQ(list.exitCode, 3);
        EXPECT_NE(list.out.find("no answer at 115200; try --port to look at the fast speeds"), std::string::npos)
            << list.out;
        EXPECT_EQ(bench.SpeedCommands(1), 0);

        const CliRun info = RunCli(Args(Ports(1, 1), {"info"}));
        EXPECT_EQ(info.exitCode, 0) << info.out << info.err;
        EXPECT_NE(info.out.find(std::string("found at ") + speed + " bit/s, where an earlier run left it; back at 115200"),
                  std::string::npos)
            << info.out;
        EXPECT_EQ(bench.UnitSpeed(1), 115200);
    }
}

}  // namespace

namespace {

TEST_F(CliE2ETest, CtrlCDuringTheScanStopsAtOnce) {
    for (int i = 1; i <= 4; ++i) bench.Configure(i, UnitConfig::Silent());
    bench.Configure(5, Unit("kestrale:U"));
    bool pressed = false;
    const CliRun run = RunCli(Args(Ports(1, 5), {"--log", "info"}), {}, 120, [&](const std::string& line, pid_t child) {
        // The scan probes every port at once; each log line names its port.
        if (!pressed && line.find(": Quorvantis: Port opened and initialized successfully.") != std::string::npos) {
            kill(child, SIGINT);
            pressed = true;
        }
    });
    ASSERT_TRUE(pressed);
    EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
    EXPECT_EQ(run.out.find("Unit:"), std::string::npos) << "a stop during the scan shows no unit";
    EXPECT_FALSE(bench.PortInUse(1));
    EXPECT_FALSE(bench.PortInUse(5));
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

namespace {

// Two Ctrl-C during a four-unit flash stop every unit between blocks, and each is found
// at 115200 again once it gives up waiting for the rest of its image.
TEST_F(CliE2ETest, TwoCtrlCDuringAFourUnitFlashLeaveEveryUnitFindable) {
    for (int i = 1; i <= 4; ++i) bench.Configure(i, Unit("kestrale:U paced"));
    int presses = 0;
    const CliRun run = RunCli(
        Args(Ports(1, 4), {"--json", "flash", "--all", "--yes", WriteImage("fw.enc", GoodImage(65536))}),
        [&](const std::string& line, pid_t child) {
            // One press at 5 %, the second at 10 %: two signals sent at once would merge into one.
            const char* at = presses == 0 ? "\"percent\":5," : "\"percent\":10,";
            if (presses < 2 && line.find("\"event\":\"progress\"") != std::string::npos &&
                line.find(at) != std::string::npos)
                kill(child, SIGINT), ++presses;
        },
        120);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
    size_t stopped = 0;
    for (const JsonValue& value : JsonLines(run))
        if (value["event"].text == "unit_result" && value["detail"].text.find("Stopped after block ") == 0) ++stopped;
    EXPECT_EQ(stopped, 4u) << run.out;
    for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(bench.ReceivedImage(i).empty());
        EXPECT_FALSE(bench.PortInUse(i));
        ASSERT_TRUE(UnitGivesUp(bench, i));
        EXPECT_EQ(bench.UnitSpeed(i), 115200);
    }
    const CliRun list = RunCli(Args(Ports(1, 4), {"list"}));
    EXPECT_EQ(list.exitCode, 0) << list.out << list.err;
    EXPECT_EQ(list.OutLines().size(), 4u) << list.out;
    EXPECT_EQ(list.out.find("no answer"), std::string::npos) << list.out;
}

}  // namespace
