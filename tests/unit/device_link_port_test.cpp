// Port operations on the fake serial layer: the open steps and the Held state, release,
// the read time-out, the speed change, and the name that does not fit.
#include <memory>

#include "device_link_fixture.h"

using Step = FakeSerial::Step;

TEST_F(FakeLinkTest, NewLinkHasItsInitialValues) {
    DeviceLink fresh;
    EXPECT_EQ(fresh.portOpen, 0);
    EXPECT_EQ(fresh.portHandle, nullptr);
    EXPECT_EQ(fresh.modelCode, 8);
    EXPECT_EQ(fresh.protocolFlags, 1);
    EXPECT_EQ(fresh.idle, 1);
    EXPECT_EQ(fresh.logSink, nullptr);
    EXPECT_EQ(fresh.speedCode, 7);
    EXPECT_EQ(fresh.lastOsError, 0u);
    for (char c : fresh.portName) EXPECT_EQ(c, '\0');
}

TEST_F(FakeLinkTest, OpenPortTakesEveryStepInOrder) {
    EXPECT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
    EXPECT_TRUE(IsOpen());
    EXPECT_STREQ(link.portName, "COM1");
    EXPECT_EQ(link.lastOsError, 0u);
    EXPECT_EQ(fake.Calls(), (Calls{"open COM1", "setup 1024 1024", "getstate", "setstate 115200",
                                   "settimeouts 25 0 300 0 110", "pause 40"}));
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM1 baud rate set to 115200",
                                "Quorvantis: Port opened and initialized successfully."}));
}

TEST_F(FakeLinkTest, OpenPortChangesOnlyTheNamedLineSettings) {
    ASSERT_EQ(link.OpenPort("COM2", 230400), RESULT_OK);
    const SerialLineSettings before = FakeSerial::DriverDefaultLineSettings();
    const SerialLineSettings after = fake.LineSettings("COM2");
    EXPECT_EQ(after.baudRate, 230400u);
    EXPECT_EQ(after.byteSize, 8);
    EXPECT_EQ(after.parity, 0);
    EXPECT_FALSE(after.outxCtsFlow);
    EXPECT_FALSE(after.outxDsrFlow);
    EXPECT_FALSE(after.dsrSensitivity);
    EXPECT_EQ(after.dtrControl, 1);
    EXPECT_EQ(after.rtsControl, 1);
    EXPECT_EQ(std::memcmp(after.native, before.native, sizeof before.native), 0) << "the driver's own record changed";
}

// Each step of the open failing, and the state it leaves.
TEST_F(FakeLinkTest, OpenPortStepFailures) {
    struct Row {
        const char* what;
        Step step;
        bool held;
        Lines lines;
        Calls lastCalls;
    };
    const std::string failed = "Quorvantis: Port init failed with error -2.";
    const std::vector<Row> rows = {
        {"open", Step::Open, false, {"Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)", failed}, {"open COM1 -> fail"}},
        {"queues", Step::SetupQueues, true, {failed}, {"open COM1", "setup 1024 1024 -> fail"}},
        {"get line settings", Step::GetLineSettings, true, {failed}, {"setup 1024 1024", "getstate -> fail"}},
        {"set line settings", Step::SetLineSettings, true, {failed}, {"getstate", "setstate 115200 -> fail"}},
        {"time-outs", Step::SetTimeouts, true, {"Quorvantis: COM1 baud rate set to 115200", failed},
         {"setstate 115200", "settimeouts 25 0 300 0 110 -> fail"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        fresh.logSink = &log.sink;
        std::strcpy(fresh.portName, "EARLIER");
        fake.FailNext(row.step, 77);
        EXPECT_EQ(fresh.OpenPort("COM1", 115200), RESULT_NOT_OPEN);
        EXPECT_EQ(fresh.portOpen, 0);
        EXPECT_EQ(fresh.portHandle != nullptr, row.held);
        EXPECT_EQ(fresh.lastOsError, 77u);
        EXPECT_STREQ(fresh.portName, "EARLIER");
        EXPECT_EQ(log.lines, row.lines);
        const Calls calls = fake.Calls();
        ASSERT_GE(calls.size(), row.lastCalls.size());
        EXPECT_EQ(Calls(calls.end() - static_cast<long>(row.lastCalls.size()), calls.end()), row.lastCalls);
        EXPECT_EQ(fake.CountCalls("pause"), 0u);
    }
}

TEST_F(FakeLinkTest, OpenPortOnAMissingPortRecordsTheOsErrorAndStaysFree) {
    OpenCleanly("COM1");
    EXPECT_EQ(link.OpenPort("COM9", 115200), RESULT_NOT_OPEN);
    EXPECT_TRUE(IsFree());
    EXPECT_TRUE(SerialErrorIsNoSuchPort(link.lastOsError));
    EXPECT_STREQ(link.portName, "COM1");
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.", "Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)",
                                "Quorvantis: Port init failed with error -2."}));
}

TEST_F(FakeLinkTest, ReopeningTheOpenPortReleasesItFirst) {
    OpenCleanly("COM1");
    EXPECT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);  // the exclusive open would refuse a second handle
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(fake.Calls().front(), "close");
    EXPECT_EQ(fake.OpenHandleCount(), 1);
    EXPECT_EQ(log.lines.front(), "Quorvantis: COM Port closed.");
    EXPECT_EQ(log.lines.size(), 3u);
}

TEST_F(FakeLinkTest, OpenPortFromHeldReleasesTheHeldHandle) {
    MakeHeld("COM1");
    EXPECT_EQ(link.OpenPort("COM2", 115200), RESULT_OK);
    EXPECT_FALSE(fake.IsOpen("COM1"));
    EXPECT_TRUE(fake.IsOpen("COM2"));
    EXPECT_EQ(log.lines.front(), "Quorvantis: COM Port closed.");
}

TEST_F(FakeLinkTest, ANameLongerThan24CharactersIsRefusedAfterTheRelease) {
    OpenCleanly("COM1");
    char before[PORT_NAME_CAPACITY];
    std::memcpy(before, link.portName, sizeof before);
    const std::string tooLong(25, 'N');
    fake.SetExistingPorts({tooLong});

    EXPECT_EQ(link.OpenPort(tooLong.c_str(), 115200), RESULT_NOT_OPEN);
    EXPECT_TRUE(IsFree());
    EXPECT_EQ(std::memcmp(before, link.portName, sizeof before), 0);
    EXPECT_EQ(fake.Calls(), (Calls{"close"}));  // released, and no open tried
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.", "Quorvantis: Port init failed with error -2."}));
    EXPECT_EQ(link.lastOsError, 0u);
    EXPECT_EQ(link.OpenPort(nullptr, 115200), RESULT_NOT_OPEN);
}

TEST_F(FakeLinkTest, ANameOfExactly24CharactersFits) {
    const std::string longest(24, 'L');
    fake.SetExistingPorts({longest});
    EXPECT_EQ(link.OpenPort(longest.c_str(), 115200), RESULT_OK);
    EXPECT_EQ(std::string(link.portName), longest);
}

TEST_F(FakeLinkTest, ClosePortWithNothingHeldOnlyLogs) {
    link.ClosePort();
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed."}));
    EXPECT_TRUE(IsFree());
}

TEST_F(FakeLinkTest, ClosePortFromOpenAndFromHeld) {
    OpenCleanly();
    link.ClosePort();
    EXPECT_TRUE(IsFree());
    EXPECT_EQ(fake.Calls(), (Calls{"close"}));
    MakeHeld();
    link.ClosePort();
    EXPECT_TRUE(IsFree());
    EXPECT_EQ(fake.OpenHandleCount(), 0);
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed."}));
}

TEST_F(FakeLinkTest, AtTheDefaultSpeedOpenAndCloseSendNothing) {
    ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
    ASSERT_EQ(link.OpenPort("COM2", 115200), RESULT_OK);
    link.ClosePort();
    EXPECT_TRUE(fake.Writes().empty());
}

TEST_F(FakeLinkTest, DestructionClosesTheHandleSilently) {
    for (bool held : {false, true}) {
        SetUp();
        auto doomed = std::make_unique<DeviceLink>();
        doomed->logSink = &log.sink;
        if (held) fake.FailNext(Step::SetTimeouts);
        doomed->OpenPort("COM1", 115200);
        doomed->speedCode = SPEED_921600;  // even away from the default speed: no speed command
        fake.ClearCalls();
        log.lines.clear();
        doomed.reset();
        EXPECT_EQ(fake.Calls(), (Calls{"close"}));
        EXPECT_TRUE(log.lines.empty());
    }
}

TEST_F(FakeLinkTest, SetReadTimeoutChangesOnlyTheReadConstant) {
    OpenCleanly();
    EXPECT_EQ(link.SetReadTimeout(110), RESULT_OK);
    const SerialTimeouts t = fake.Timeouts("COM1");
    EXPECT_EQ(t.readIntervalTimeout, 25u);
    EXPECT_EQ(t.readTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.readTotalTimeoutConstant, 110u);
    EXPECT_EQ(t.writeTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(t.writeTotalTimeoutConstant, 110u);
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: Comm Read Timeout Set To 110 ms"}));
    ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
    EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
}

TEST_F(FakeLinkTest, SetReadTimeoutResults) {
    struct Row {
        const char* what;
        int state;  // 0 Free, 1 Held, 2 Open
        int failStep;  // 0 none, 1 get, 2 set
        ResultCode result;
        const char* line;
    };
    const std::vector<Row> rows = {
        {"no port", 0, 0, RESULT_NOT_OPEN, "Quorvantis: Comm Read Timeout Set Failed with -2"},
        {"held", 1, 0, RESULT_OK, "Quorvantis: Comm Read Timeout Set To 110 ms"},
        {"open", 2, 0, RESULT_OK, "Quorvantis: Comm Read Timeout Set To 110 ms"},
        {"get refused", 2, 1, RESULT_FAILED, "Quorvantis: Comm Read Timeout Set Failed with -1"},
        {"set refused", 2, 2, RESULT_FAILED, "Quorvantis: Comm Read Timeout Set Failed with -1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        fresh.logSink = &log.sink;
        if (row.state == 1) fake.FailNext(Step::SetupQueues);
        if (row.state > 0) fresh.OpenPort("COM1", 115200);
        const SerialTimeouts before = fake.Timeouts("COM1");
        log.lines.clear();
        if (row.failStep == 1) fake.FailNext(Step::GetTimeouts);
        if (row.failStep == 2) fake.FailNext(Step::SetTimeouts);
        fresh.idle = 0;
        EXPECT_EQ(fresh.SetReadTimeout(110), row.result);
        EXPECT_EQ(fresh.idle, 0) << "the time-out setter leaves idle alone";
        EXPECT_EQ(log.lines, (Lines{row.line}));
        const uint32_t expected = row.result == RESULT_OK ? 110u : before.readTotalTimeoutConstant;
        EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, expected);
    }
}

TEST_F(FakeLinkTest, ChangeSpeedRefusesCodesOutsideTheTable) {
    OpenCleanly();
    for (SpeedCode code : {-1, 2, 4, 5, 6, 8, 255}) {
        link.idle = 0;
        EXPECT_EQ(link.ChangeSpeed(code), RESULT_BAD_ARGUMENT) << code;
        EXPECT_EQ(link.idle, 1);
    }
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(link.speedCode, SPEED_115200);
}

// Every code of the table, from the default speed and from a fast one: one 'S' on the
// wire, the port reopened at the new speed, no nested speed command.
TEST_F(FakeLinkTest, ChangeSpeedToEveryCodeSendsExactlyOneCommand) {
    struct Row {
        SpeedCode code;
        Bytes request;
    };
    const std::vector<Row> rows = {
        {SPEED_921600, {0x53, 0x00, 0x53}},
        {SPEED_460800, {0x53, 0x01, 0x54}},
        {SPEED_230400, {0x53, 0x03, 0x56}},
        {SPEED_115200, {0x53, 0x07, 0x5A}},
    };
    for (SpeedCode from : {SPEED_115200, SPEED_921600, SPEED_230400}) {
        for (const Row& row : rows) {
            SCOPED_TRACE("from " + std::to_string(from) + " to " + std::to_string(row.code));
            SetUp();
            fake.SetPeer(AnswerLikeAUnit);
            DeviceLink fresh;
            fresh.logSink = &log.sink;
            ASSERT_EQ(fresh.OpenPort("COM1", SpeedOfCode(from)), RESULT_OK);
            fresh.speedCode = from;
            fake.ClearCalls();
            log.lines.clear();

            EXPECT_EQ(fresh.ChangeSpeed(row.code), RESULT_OK);
            EXPECT_EQ(fake.Writes(), std::vector<Bytes>{row.request});
            EXPECT_EQ(fresh.speedCode, row.code);
            EXPECT_EQ(fresh.idle, 1);
            EXPECT_EQ(fresh.portOpen, 1);
            EXPECT_STREQ(fresh.portName, "COM1");
            EXPECT_EQ(fake.LineSettings("COM1").baudRate, static_cast<uint32_t>(SpeedOfCode(row.code)));
            const Calls calls = fake.Calls();
            ASSERT_GE(calls.size(), 5u);
            EXPECT_EQ(Calls(calls.begin(), calls.begin() + 5),
                      (Calls{"purge", "write " + HexBytes(row.request), "read 1 -> 1", "close", "open COM1"}));
            EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.",
                                        "Quorvantis: COM1 baud rate set to " + std::to_string(SpeedOfCode(row.code)),
                                        "Quorvantis: Port opened and initialized successfully."}));
        }
    }
}

TEST_F(FakeLinkTest, ChangeSpeedFailures) {
    struct Row {
        const char* what;
        std::function<void()> script;
        ResultCode result;
    };
    const std::vector<Row> rows = {
        {"write fails", [this] { fake.FailNext(Step::Write); }, RESULT_WRITE_FAILED},
        {"read fails", [this] { fake.FailNext(Step::Read); }, RESULT_READ_FAILED},
        {"silent unit", [] {}, RESULT_FAILED},
        {"refused", [this] { fake.QueueReply({'?'}); }, RESULT_FAILED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        fresh.logSink = &log.sink;
        ASSERT_EQ(fresh.OpenPort("COM1", 115200), RESULT_OK);
        const PortHandle handle = fresh.portHandle;
        log.lines.clear();
        row.script();
        EXPECT_EQ(fresh.ChangeSpeed(SPEED_921600), row.result);
        EXPECT_EQ(fresh.speedCode, SPEED_115200);
        EXPECT_EQ(fresh.idle, 1);
        EXPECT_EQ(fresh.portHandle, handle);
        EXPECT_EQ(fresh.portOpen, 1);
        EXPECT_EQ(fake.LineSettings("COM1").baudRate, 115200u);
        EXPECT_TRUE(log.lines.empty());
    }
}

// The outcome record tells apart what ChangeSpeed's result code lumps together.
TEST_F(FakeLinkTest, SwitchSpeedTellsHowTheUnitTookIt) {
    struct Row {
        const char* what;
        std::function<void()> script;
        SpeedCode code;
        SpeedSwitchState state;
        ResultCode result;
    };
    const std::vector<Row> rows = {
        {"accepted", [this] { fake.QueueReply({'O'}); }, SPEED_921600, SpeedSwitchState::Accepted, RESULT_OK},
        {"accepted, reopen fails",
         [this] {
             fake.QueueReply({'O'});
             fake.FailNth(Step::Open, 1);
         },
         SPEED_921600, SpeedSwitchState::ReopenFailed, RESULT_NOT_OPEN},
        {"refused", [this] { fake.QueueReply({'?'}); }, SPEED_921600, SpeedSwitchState::Refused, RESULT_FAILED},
        {"silent unit", [] {}, SPEED_460800, SpeedSwitchState::NoAnswer, RESULT_FAILED},
        {"read fails", [this] { fake.FailNext(Step::Read); }, SPEED_230400, SpeedSwitchState::NoAnswer,
         RESULT_READ_FAILED},
        {"write fails", [this] { fake.FailNext(Step::Write); }, SPEED_921600, SpeedSwitchState::NotSent,
         RESULT_WRITE_FAILED},
        {"no such code", [] {}, 5, SpeedSwitchState::NotSent, RESULT_BAD_ARGUMENT},
        {"host port cannot run it", [this] { fake.FailNext(Step::SetLineSettings); }, SPEED_921600,
         SpeedSwitchState::HostCannot, RESULT_NOT_OPEN},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        ASSERT_EQ(fresh.OpenPort("COM1", 115200), RESULT_OK);
        fake.ClearCalls();
        row.script();
        const SpeedSwitchOutcome outcome = fresh.SwitchSpeed(row.code);
        EXPECT_EQ(outcome.state, row.state);
        if (row.state == SpeedSwitchState::HostCannot) {
            EXPECT_TRUE(fake.Writes().empty()) << "no speed request when the port cannot follow";
            EXPECT_EQ(fake.LineSettings("COM1").baudRate, 115200u);
            EXPECT_EQ(fresh.speedCode, SPEED_115200);
        }
        EXPECT_EQ(outcome.result, row.result);
        EXPECT_EQ(outcome.Moved(), row.state == SpeedSwitchState::Accepted);
    }
}

TEST_F(FakeLinkTest, ChangeSpeedWithNoPortFailsTheWrite) {
    EXPECT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_WRITE_FAILED);
    EXPECT_EQ(link.idle, 1);
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(FakeLinkTest, ChangeSpeedActsOnAHeldPort) {
    OpenCleanly();  // so that portName names the port the speed change reopens
    MakeHeld();
    fake.QueueReply({'O'});
    EXPECT_EQ(link.ChangeSpeed(SPEED_460800), RESULT_OK);
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(link.speedCode, SPEED_460800);
}

TEST_F(FakeLinkTest, AcceptedSpeedChangeWhoseReopenFailsStillSucceeds) {
    OpenCleanly();
    fake.QueueReply({'O'});
    fake.FailNext(Step::Open);
    EXPECT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_OK);
    EXPECT_EQ(link.speedCode, SPEED_921600);
    EXPECT_TRUE(IsFree());
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.", "Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)",
                                "Quorvantis: Port init failed with error -2."}));
}

TEST_F(FakeLinkTest, ClosePortAwayFromTheDefaultSpeedRestoresItFirst) {
    fake.SetPeer(AnswerLikeAUnit);
    OpenCleanly();
    ASSERT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_OK);
    fake.ClearCalls();
    log.lines.clear();

    link.ClosePort();
    EXPECT_EQ(fake.Writes(), (std::vector<Bytes>{{0x53, 0x07, 0x5A}}));
    EXPECT_EQ(link.speedCode, SPEED_115200);
    EXPECT_TRUE(IsFree());
    EXPECT_EQ(fake.OpenHandleCount(), 0);
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.", "Quorvantis: COM1 baud rate set to 115200",
                                "Quorvantis: Port opened and initialized successfully.",
                                "Quorvantis: COM Port closed."}));
}

TEST_F(FakeLinkTest, OpenPortAwayFromTheDefaultSpeedRestoresItBeforeLettingGo) {
    fake.SetPeer(AnswerLikeAUnit);
    OpenCleanly("COM1");
    ASSERT_EQ(link.ChangeSpeed(SPEED_230400), RESULT_OK);
    fake.ClearCalls();
    log.lines.clear();

    EXPECT_EQ(link.OpenPort("COM2", 115200), RESULT_OK);
    EXPECT_EQ(fake.Writes(), (std::vector<Bytes>{{0x53, 0x07, 0x5A}}));
    EXPECT_EQ(fake.LineSettings("COM1").baudRate, 115200u);
    EXPECT_FALSE(fake.IsOpen("COM1"));
    EXPECT_STREQ(link.portName, "COM2");
    EXPECT_EQ(link.speedCode, SPEED_115200);
    EXPECT_EQ(log.lines,
              (Lines{"Quorvantis: COM Port closed.", "Quorvantis: COM1 baud rate set to 115200",
                     "Quorvantis: Port opened and initialized successfully.", "Quorvantis: COM Port closed.",
                     "Quorvantis: COM2 baud rate set to 115200", "Quorvantis: Port opened and initialized successfully."}));
}

TEST_F(FakeLinkTest, OpenPortWhoseSpeedRestoreLosesThePortReportsTheReleaseOnce) {
    fake.SetPeer(AnswerLikeAUnit);
    OpenCleanly("COM1");
    ASSERT_EQ(link.ChangeSpeed(SPEED_921600), RESULT_OK);
    log.lines.clear();
    fake.FailNext(Step::Open);  // the reopen at 115200 inside the restore

    EXPECT_EQ(link.OpenPort("COM2", 115200), RESULT_OK);
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: COM Port closed.", "Quorvantis Port Init Failed (INVALID_HANDLE_VALUE)",
                                "Quorvantis: Port init failed with error -2.", "Quorvantis: COM Port closed.",
                                "Quorvantis: COM2 baud rate set to 115200",
                                "Quorvantis: Port opened and initialized successfully."}));
}
