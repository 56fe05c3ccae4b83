// Port operations on the real serial layer against emulated units: open and close, the
// missing port, the exclusive open, and speed changes to every code and back.
#include "device_link_bench_support.h"

TEST_F(BenchLinkTest, OpenAndCloseSendNothing) {
    bench.Configure(kPort, UnitConfig::Kestrale());
    EXPECT_EQ(link.OpenPort(Port().c_str(), 115200), RESULT_OK);
    EXPECT_EQ(link.portOpen, 1);
    EXPECT_NE(link.portHandle, nullptr);
    EXPECT_EQ(std::string(link.portName), Port());
    EXPECT_EQ(link.lastOsError, 0u);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Quorvantis: " + Port() + " baud rate set to 115200",
                                                   "Quorvantis: Port opened and initialized successfully."}));
    if (!kUnderWine) {
        EXPECT_TRUE(bench.PortInUse(kPort));
    }

    link.ClosePort();
    EXPECT_EQ(link.portOpen, 0);
    EXPECT_EQ(link.portHandle, nullptr);
    EXPECT_EQ(log.lines.back(), "Quorvantis: COM Port closed.");
    EXPECT_TRUE(bench.HostBytes(kPort).empty());
    if (!kUnderWine) {
        EXPECT_FALSE(bench.PortInUse(kPort));
    }
}

TEST_F(BenchLinkTest, AMissingPortIsRefusedAndTold) {
    bench.Configure(3, UnitConfig::Absent());
    EXPECT_EQ(link.OpenPort(Port(3).c_str(), 115200), RESULT_NOT_OPEN);
    EXPECT_EQ(link.portHandle, nullptr);
    EXPECT_EQ(link.portOpen, 0);
    EXPECT_TRUE(SerialErrorIsNoSuchPort(link.lastOsError)) << "error " << link.lastOsError;
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)",
                                                   "Quorvantis: Port init failed with error -2."}));
}

TEST_F(BenchLinkTest, ASecondLinkCannotOpenAHeldPort) {
    OpenOn(UnitConfig::Kestrale(), 2);
    DeviceLink second;
    const ResultCode result = second.OpenPort(Port(2).c_str(), 115200);
    if (kUnderWine && result == RESULT_OK) GTEST_SKIP() << "wine does not enforce the exclusive open";
    EXPECT_EQ(result, RESULT_NOT_OPEN);
    EXPECT_EQ(second.portHandle, nullptr);
    EXPECT_NE(second.lastOsError, 0u);
    // The first link is not disturbed by the attempt.
    VersionTriple version{};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
    EXPECT_EQ(version.letter, 'A');
}

TEST_F(BenchLinkTest, ReopeningTheSamePortWorks) {
    OpenOn(UnitConfig::Kestrale());
    EXPECT_EQ(link.OpenPort(Port().c_str(), 115200), RESULT_OK);
    EXPECT_EQ(log.lines.front(), "Quorvantis: COM Port closed.");
    VersionTriple version{};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
}

// To every code and back: one 'S' per change in the unit's trace, the unit really at
// the new speed, and the link still talking to it there.
TEST_F(BenchLinkTest, ChangeSpeedToEveryCodeAndBack) {
    const Bytes version = {0x56, 0x56};
    for (SpeedCode code : {SPEED_921600, SPEED_460800, SPEED_230400, SPEED_115200}) {
        SCOPED_TRACE("code " + std::to_string(code));
        OpenOn(UnitConfig::Kestrale('U', {2, 7, 'A'}));

        ASSERT_EQ(link.ChangeSpeed(code), RESULT_OK);
        EXPECT_EQ(link.speedCode, code);
        EXPECT_EQ(link.portOpen, 1);
        EXPECT_EQ(link.idle, 1);
        EXPECT_EQ(bench.SpeedCommands(kPort), 1);
        EXPECT_EQ(bench.UnitSpeed(kPort), SpeedOfCode(code));
        VersionTriple v{};
        EXPECT_EQ(link.QueryVersion(&v), RESULT_OK) << "no answer at the new speed";
        EXPECT_EQ(v.major, 2);
        EXPECT_EQ(v.minor, 7);

        // Back to the default speed by closing: again exactly one command.
        link.ClosePort();
        EXPECT_EQ(link.speedCode, SPEED_115200);
        EXPECT_EQ(link.portHandle, nullptr);
        const int expectedCommands = code == SPEED_115200 ? 1 : 2;
        EXPECT_EQ(bench.SpeedCommands(kPort), expectedCommands);
        EXPECT_EQ(bench.UnitSpeed(kPort), 115200);

        Bytes expected = WithSum({0x53, static_cast<uint8_t>(code)});
        expected.insert(expected.end(), version.begin(), version.end());
        if (code != SPEED_115200) {
            const Bytes back = {0x53, 0x07, 0x5A};
            expected.insert(expected.end(), back.begin(), back.end());
        }
        EXPECT_EQ(bench.HostBytes(kPort), expected);
    }
}

TEST_F(BenchLinkTest, ChangeSpeedBetweenFastSpeedsSendsOneCommandEach) {
    OpenOn(UnitConfig::Kestrale());
    ASSERT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_OK);
    ASSERT_EQ(link.ChangeSpeed(SPEED_460800), RESULT_OK);
    ASSERT_EQ(link.ChangeSpeed(SPEED_230400), RESULT_OK);
    EXPECT_EQ(bench.SpeedCommands(kPort), 3);
    EXPECT_EQ(bench.UnitSpeed(kPort), 230400);
    HardwareInfo info{};
    link.protocolFlags = 2;
    ASSERT_EQ(link.ReadHardwareInfo(&info), RESULT_OK);
    EXPECT_EQ(info.bytes[0], 'A');

    // Opening another port from a fast speed puts the unit back at 115200 first.
    bench.Configure(2, UnitConfig::GristPell());
    ASSERT_EQ(link.OpenPort(Port(2).c_str(), 115200), RESULT_OK);
    EXPECT_EQ(bench.SpeedCommands(kPort), 4);
    EXPECT_EQ(bench.UnitSpeed(kPort), 115200);
    EXPECT_EQ(link.speedCode, SPEED_115200);
}

TEST_F(BenchLinkTest, ARefusedSpeedChangeKeepsPortAndSpeed) {
    struct Row {
        const char* what;
        FaultAction action;
    };
    for (const Row& row : {Row{"refused", FaultAction::AnswerByte}, Row{"silent", FaultAction::Silence}}) {
        SCOPED_TRACE(row.what);
        UnitConfig unit = UnitConfig::Kestrale();
        Fault fault;
        fault.step = FaultStep::SpeedChange;
        fault.action = row.action;
        fault.byte = '?';
        unit.faults.push_back(fault);
        OpenOn(unit);
        const PortHandle handle = link.portHandle;

        EXPECT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_FAILED);
        EXPECT_EQ(link.speedCode, SPEED_115200);
        EXPECT_EQ(link.portHandle, handle);
        EXPECT_EQ(link.portOpen, 1);
        EXPECT_EQ(link.idle, 1);
        EXPECT_EQ(bench.UnitSpeed(kPort), 115200);
        EXPECT_TRUE(log.lines.empty());
    }
}

TEST_F(BenchLinkTest, ChangeSpeedRefusesCodesOutsideTheTable) {
    OpenOn(UnitConfig::Kestrale());
    for (SpeedCode code : {-1, 2, 8}) EXPECT_EQ(link.ChangeSpeed(code), RESULT_BAD_ARGUMENT);
    VersionTriple v{};
    ASSERT_EQ(link.QueryVersion(&v), RESULT_OK);
    EXPECT_EQ(bench.HostBytes(kPort), (Bytes{0x56, 0x56})) << "a refused code put bytes on the wire";
}
