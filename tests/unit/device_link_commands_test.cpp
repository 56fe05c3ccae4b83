// The query commands on the fake serial layer: request bytes, every failure row, the log
// lines, the idle flag and the read time-out bookkeeping.
#include "device_link_fixture.h"

using Step = FakeSerial::Step;

namespace {

const char* const kVersionLine = "Quorvantis: Firmware Version string requested";
const char* const kTimeout110 = "Quorvantis: Comm Read Timeout Set To 110 ms";
const char* const kTimeout300 = "Quorvantis: Comm Read Timeout Set To 300 ms";

Bytes WithSum(Bytes data) {
    data.push_back(AdditiveChecksum(data.data(), static_cast<int32_t>(data.size())));
    return data;
}

}  // namespace

TEST_F(FakeLinkTest, QueryVersionExchange) {
    OpenCleanly();
    fake.QueueReply({1, 5, 'A'});
    VersionTriple version{9, 9, 'z'};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 5);
    EXPECT_EQ(version.letter, 'A');
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(fake.Calls(), (Calls{"gettimeouts", "settimeouts 25 0 110 0 110", "purge", "write 56 56",
                                   "read 3 -> 3", "gettimeouts", "settimeouts 25 0 300 0 110"}));
    EXPECT_EQ(log.lines, (Lines{kVersionLine, kTimeout110, kTimeout300}));
}

TEST_F(FakeLinkTest, QueryVersionPurgesWhatAnEarlierExchangeLeft) {
    OpenCleanly();
    fake.DeliverNow("COM1", {0xEE, 0xEE, 0xEE, 0xEE});
    fake.QueueReply({2, 3, '1'});
    VersionTriple version{};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.letter, '1');
}

TEST_F(FakeLinkTest, QueryVersionFailureRows) {
    struct Row {
        const char* what;
        std::function<void()> script;
        bool nullOut;
        ResultCode result;
    };
    const std::vector<Row> rows = {
        {"write fails", [this] { fake.FailNext(Step::Write); }, false, RESULT_WRITE_FAILED},
        {"read fails", [this] { fake.FailNext(Step::Read); }, false, RESULT_READ_FAILED},
        {"silent unit", [] {}, false, RESULT_BAD_RESPONSE},
        {"two bytes", [this] { fake.QueueReply({1, 5}); }, false, RESULT_BAD_RESPONSE},
        {"two bytes, no record", [this] { fake.QueueReply({1, 5}); }, true, RESULT_BAD_RESPONSE},
        {"three bytes, no record", [this] { fake.QueueReply({1, 5, 'A'}); }, true, RESULT_OK},
        {"the 110 ms time-out refused", [this] { fake.FailNext(Step::SetTimeouts); fake.QueueReply({1, 5, 'A'}); },
         false, RESULT_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        ASSERT_EQ(fresh.OpenPort("COM1", 115200), RESULT_OK);
        row.script();
        VersionTriple version{9, 8, 'z'};
        EXPECT_EQ(fresh.QueryVersion(row.nullOut ? nullptr : &version), row.result);
        if (row.result != RESULT_OK) {
            EXPECT_EQ(version.major, 9);
            EXPECT_EQ(version.minor, 8);
            EXPECT_EQ(version.letter, 'z');
        }
        EXPECT_EQ(fresh.idle, 1);
        EXPECT_EQ(fresh.portOpen, 1) << "no failure closes the port";
        EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
    }
}

TEST_F(FakeLinkTest, QueryVersionRefusedWithoutAnOpenPort) {
    // Free: nothing sent, the 300 ms restore fails for want of a port.
    link.idle = 0;
    VersionTriple version{9, 8, 'z'};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_NOT_OPEN);
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(version.major, 9);
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: Comm Read Timeout Set Failed with -2"}));

    // Held: still refused, but the read time-out is set to 300 ms on the held port.
    MakeHeld();
    EXPECT_EQ(link.QueryVersion(&version), RESULT_NOT_OPEN);
    EXPECT_TRUE(fake.Writes().empty());
    EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
    EXPECT_EQ(log.lines, (Lines{kTimeout300}));
}

TEST_F(FakeLinkTest, ReadEEPROMRequestBytes) {
    struct Row {
        const char* what;
        int32_t flags;
        uint32_t address;
        int32_t count;
        Bytes request;
        const char* line;
    };
    Bytes e256 = {0x45, 0x00, 0x12, 0x34};
    e256.resize(4 + 256, 0);
    e256.push_back(static_cast<uint8_t>(0x45 + 0x12 + 0x34));
    const std::vector<Row> rows = {
        {"HR, one byte at 1", 2, 1, 1, {0x48, 0x52, 0x01, 0x00, 0x01, 0x9C},
         "Quorvantis: ReadEEPROM requested, 1 bytes to address 1"},
        {"E, one byte at 4", 1, 4, 1, {0x45, 0x01, 0x00, 0x04, 0x00, 0x4A},
         "Quorvantis: ReadEEPROM requested, 1 bytes to address 4"},
        {"flags 3 take the E framing", 3, 4, 1, {0x45, 0x01, 0x00, 0x04, 0x00, 0x4A},
         "Quorvantis: ReadEEPROM requested, 1 bytes to address 4"},
        {"flags 0 take the E framing", 0, 4, 1, {0x45, 0x01, 0x00, 0x04, 0x00, 0x4A},
         "Quorvantis: ReadEEPROM requested, 1 bytes to address 4"},
        {"E, three bytes", 1, 0x0102, 3, {0x45, 0x03, 0x01, 0x02, 0x00, 0x00, 0x00, 0x4B},
         "Quorvantis: ReadEEPROM requested, 3 bytes to address 102"},
        {"HR, 256 bytes travel as 0", 2, 0xABCD, 256, WithSum({0x48, 0x52, 0x00, 0xAB, 0xCD}),
         "Quorvantis: ReadEEPROM requested, 256 bytes to address ABCD"},
        {"E, 256 bytes: 261 request bytes", 1, 0x1234, 256, e256,
         "Quorvantis: ReadEEPROM requested, 256 bytes to address 1234"},
        {"only the low 16 address bits", 2, 0x7FFFF, 1, WithSum({0x48, 0x52, 0x01, 0xFF, 0xFF}),
         "Quorvantis: ReadEEPROM requested, 1 bytes to address FFFF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        fake.SetPeer(AnswerLikeAUnit);
        DeviceLink fresh;
        fresh.logSink = &log.sink;
        ASSERT_EQ(fresh.OpenPort("COM1", 115200), RESULT_OK);
        fresh.protocolFlags = row.flags;
        fake.ClearCalls();
        log.lines.clear();

        std::vector<uint8_t> buffer(static_cast<size_t>(row.count), 0);
        EXPECT_EQ(fresh.ReadEEPROM(buffer.data(), row.address, row.count), RESULT_OK);
        EXPECT_EQ(fake.Writes(), std::vector<Bytes>{row.request});
        EXPECT_EQ(log.lines, (Lines{row.line}));
        for (int32_t i = 0; i < row.count; ++i) {
            ASSERT_EQ(buffer[static_cast<size_t>(i)], MemoryByte((row.address & 0xFFFF) + static_cast<uint32_t>(i)));
        }
        EXPECT_EQ(fake.Calls(), (Calls{"purge", "write " + HexBytes(row.request),
                                       "read " + std::to_string(row.count) + " -> " + std::to_string(row.count),
                                       "read 1 -> 1"}));
        EXPECT_EQ(fresh.idle, 1);
    }
}

TEST_F(FakeLinkTest, ReadEEPROMFailureRows) {
    const std::string badSum = "Quorvantis: ReadEEPROM: Invalid external data checksum\r\n\tCS of recvd data: ";
    struct Row {
        const char* what;
        std::function<void()> script;
        ResultCode result;
        Lines lines;    // after the request line
        size_t reads;   // read calls made
        Bytes buffer;   // the caller's two bytes afterwards
    };
    const std::vector<Row> rows = {
        {"write fails", [this] { fake.FailNext(Step::Write); }, RESULT_WRITE_FAILED, {}, 0, {0xCC, 0xCC}},
        {"data read fails", [this] { fake.FailNext(Step::Read); }, RESULT_READ_FAILED, {}, 1, {0xCC, 0xCC}},
        {"short data", [this] { fake.QueueReply({0x11}); }, RESULT_SHORT_READ, {}, 1, {0x11, 0xCC}},
        {"silent unit", [] {}, RESULT_SHORT_READ, {}, 1, {0xCC, 0xCC}},
        {"refusal", [this] { fake.QueueReply({'?', 0x00, 0x3F}); }, RESULT_DEVICE_ERROR, {}, 1, {'?', 0x00}},
        {"'?' as true content", [this] { fake.QueueReply(WithSum({'?', 0x01})); }, RESULT_DEVICE_ERROR, {}, 1,
         {'?', 0x01}},
        {"checksum read fails", [this] { fake.QueueReply({0x11, 0x22}); fake.FailNth(Step::Read, 2); },
         RESULT_READ_FAILED, {}, 2, {0x11, 0x22}},
        {"no checksum byte", [this] { fake.QueueReply({0x11, 0x22}); }, RESULT_EXT_CHECKSUM,
         {badSum + "33\r\n\tCS from device: 00"}, 2, {0x11, 0x22}},
        {"wrong checksum", [this] { fake.QueueReply({0xF0, 0x2A, 0xab}); }, RESULT_EXT_CHECKSUM,
         {badSum + "1A\r\n\tCS from device: ab"}, 2, {0xF0, 0x2A}},
        {"good", [this] { fake.QueueReply({0xF0, 0x2A, 0x1A}); }, RESULT_OK, {}, 2, {0xF0, 0x2A}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        DeviceLink fresh;
        fresh.logSink = &log.sink;
        ASSERT_EQ(fresh.OpenPort("COM1", 115200), RESULT_OK);
        fake.ClearCalls();
        log.lines.clear();
        row.script();
        Bytes buffer = {0xCC, 0xCC};
        EXPECT_EQ(fresh.ReadEEPROM(buffer.data(), 0x10, 2), row.result);
        EXPECT_EQ(buffer, row.buffer);
        EXPECT_EQ(fresh.idle, 1);
        EXPECT_EQ(fresh.portOpen, 1);
        EXPECT_EQ(fake.CountCalls("read"), row.reads);
        Lines expected = {"Quorvantis: ReadEEPROM requested, 2 bytes to address 10"};
        expected.insert(expected.end(), row.lines.begin(), row.lines.end());
        EXPECT_EQ(log.lines, expected);
    }
}

TEST_F(FakeLinkTest, ReadEEPROMRefusesCountsOutsideItsRangeSendingNothing) {
    OpenCleanly();
    uint8_t buffer[300] = {};
    for (int32_t count : {0, -1, 257, 65536 + 1, 100000}) {
        link.idle = 0;
        EXPECT_EQ(link.ReadEEPROM(buffer, 1, count), RESULT_BAD_ARGUMENT) << count;
        EXPECT_EQ(link.idle, 1);
    }
    EXPECT_EQ(link.ReadEEPROM(nullptr, 1, 1), RESULT_BAD_ARGUMENT);
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(FakeLinkTest, ReadEEPROMRefusedWithoutAnOpenPort) {
    uint8_t byte = 0xCC;
    link.idle = 0;
    EXPECT_EQ(link.ReadEEPROM(&byte, 1, 1), RESULT_NOT_OPEN);
    EXPECT_EQ(link.idle, 1);
    MakeHeld();
    EXPECT_EQ(link.ReadEEPROM(&byte, 1, 1), RESULT_NOT_OPEN);
    EXPECT_EQ(byte, 0xCC);
    EXPECT_TRUE(fake.Calls().empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(FakeLinkTest, ReadHardwareInfoReadsAddresses1To7) {
    fake.SetPeer(AnswerLikeAUnit);
    OpenCleanly();
    link.protocolFlags = 2;
    HardwareInfo info{};
    EXPECT_EQ(link.ReadHardwareInfo(&info), RESULT_OK);
    const auto writes = fake.Writes();
    ASSERT_EQ(writes.size(), 7u);
    for (uint8_t address = 1; address <= 7; ++address) {
        EXPECT_EQ(writes[address - 1u], WithSum({0x48, 0x52, 0x01, 0x00, address}));
        EXPECT_EQ(info.bytes[address - 1], MemoryByte(address));
    }
    ASSERT_EQ(log.lines.size(), 8u);
    EXPECT_EQ(log.lines[0], "Quorvantis: Hardware Version Information requested");
    EXPECT_EQ(log.lines[7], "Quorvantis: ReadEEPROM requested, 1 bytes to address 7");
}

TEST_F(FakeLinkTest, ReadHardwareInfoKeepsWhatEachReadLeft) {
    OpenCleanly();
    fake.QueueReply({'A', 'A'});        // 1: good
    fake.QueueReply({'?', 0x3F});       // 2: refusal, stored all the same
    fake.QueueReply({0x42, 0x00});      // 3: wrong checksum, stored all the same
    fake.QueueReply({});                // 4: silence, keeps the caller's byte
    fake.FailNth(Step::Write, 5);       // 5: request not written, keeps the caller's byte
    fake.QueueReply({0x55, 0x55});      // 6
    fake.QueueReply({0x66, 0x66});      // 7
    HardwareInfo info;
    std::memset(info.bytes, 0xCC, sizeof info.bytes);
    EXPECT_EQ(link.ReadHardwareInfo(&info), RESULT_OK);
    EXPECT_EQ(Bytes(info.bytes, info.bytes + 7), (Bytes{'A', '?', 0x42, 0xCC, 0xCC, 0x55, 0x66}));
}

TEST_F(FakeLinkTest, ReadHardwareInfoEdgeCases) {
    EXPECT_EQ(link.ReadHardwareInfo(nullptr), RESULT_BAD_ARGUMENT);
    EXPECT_TRUE(log.lines.empty());

    HardwareInfo info;
    std::memset(info.bytes, 0xCC, sizeof info.bytes);
    EXPECT_EQ(link.ReadHardwareInfo(&info), RESULT_OK);  // not open: each read's -2 is ignored
    EXPECT_EQ(Bytes(info.bytes, info.bytes + 7), Bytes(7, 0xCC));
    EXPECT_EQ(log.lines, (Lines{"Quorvantis: Hardware Version Information requested"}));
    EXPECT_TRUE(fake.Calls().empty());
}
