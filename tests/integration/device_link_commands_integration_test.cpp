// The query commands on the real serial layer against emulated units: the version query,
// memory reads in both framings (up to 256 bytes), the hardware information, and the
// failure replies the emulator's fault plan plays.
#include "device_link_bench_support.h"

namespace {

Fault MakeFault(FaultStep step, FaultAction action, uint8_t byte = 'O', int count = 0, int index = -1) {
    Fault fault;
    fault.step = step;
    fault.action = action;
    fault.byte = byte;
    fault.count = count;
    fault.index = index;
    return fault;
}

UnitConfig WithFault(UnitConfig unit, const Fault& fault) {
    unit.faults.push_back(fault);
    return unit;
}

}  // namespace

TEST_F(BenchLinkTest, QueryVersionReadsTheTriple) {
    OpenOn(UnitConfig::GristPell({12, 0, 'F'}));
    VersionTriple version{};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
    EXPECT_EQ(version.major, 12);
    EXPECT_EQ(version.minor, 0);
    EXPECT_EQ(version.letter, 'F');
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(bench.HostBytes(kPort), (Bytes{0x56, 0x56}));
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Quorvantis: Firmware Version string requested",
                                                   "Quorvantis: Comm Read Timeout Set To 110 ms",
                                                   "Quorvantis: Comm Read Timeout Set To 300 ms"}));
}

TEST_F(BenchLinkTest, ReadEEPROMInBothFramings) {
    struct Row {
        const char* what;
        int32_t flags;
        uint32_t address;
        int32_t count;
    };
    const std::vector<Row> rows = {
        {"HR, one byte", 2, 1, 1},        {"E, one byte", 1, 4, 1},        {"E with flags 3", 3, 7, 1},
        {"HR, 16 bytes", 2, 0x20, 16},    {"E, 16 bytes", 1, 0x20, 16},    {"HR, all 256", 2, 0, 256},
        {"E, all 256", 1, 0, 256},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        UnitConfig unit = UnitConfig::Kestrale();
        unit.memory = PatternMemory('A', 'S');
        OpenOn(unit);
        link.protocolFlags = row.flags;

        Bytes buffer(static_cast<size_t>(row.count), 0);
        EXPECT_EQ(link.ReadEEPROM(buffer.data(), row.address, row.count), RESULT_OK);
        EXPECT_EQ(buffer, Bytes(unit.memory.begin() + row.address, unit.memory.begin() + row.address + row.count));

        const auto length = static_cast<uint8_t>(row.count & 0xFF);
        const auto high = static_cast<uint8_t>(row.address >> 8);
        const auto low = static_cast<uint8_t>(row.address & 0xFF);
        Bytes request;
        if (row.flags == 2) {
            request = WithSum({0x48, 0x52, length, high, low});
        } else {
            request = {0x45, length, high, low};
            request.resize(4 + static_cast<size_t>(row.count), 0);
            request = WithSum(request);
        }
        EXPECT_EQ(bench.HostBytes(kPort), request);
        EXPECT_EQ(link.idle, 1);
    }
}

TEST_F(BenchLinkTest, ReadHardwareInfoOfEachUnit) {
    struct Row {
        const char* what;
        UnitConfig unit;
        int32_t flags;
        uint8_t model;
        uint8_t attachment;
    };
    const std::vector<Row> rows = {
        {"Kestrale, USB", UnitConfig::Kestrale('U'), 2, 'A', 'U'},
        {"Kestrale, serial", UnitConfig::Kestrale('S'), 2, 'A', 'S'},
        {"Grist & Pell", UnitConfig::GristPell(), 2, 'F', 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        OpenOn(row.unit);
        link.protocolFlags = row.flags;
        HardwareInfo info{};
        EXPECT_EQ(link.ReadHardwareInfo(&info), RESULT_OK);
        EXPECT_EQ(info.bytes[0], row.model);
        if (row.attachment != 0) {
            EXPECT_EQ(info.bytes[3], row.attachment);
        }
        for (int i = 0; i < 7; ++i) EXPECT_EQ(info.bytes[i], row.unit.memory[static_cast<size_t>(i + 1)]) << i;
        EXPECT_EQ(bench.HostBytes(kPort).size(), 7u * 6u);
        EXPECT_EQ(log.lines.size(), 8u);
    }
}

// The unit's failure replies, and the code each gives.
TEST_F(BenchLinkTest, FailureRepliesFromTheUnit) {
    struct Row {
        const char* what;
        Fault fault;
        bool version;  // the version query, else a 2-byte memory read at address 1
        ResultCode result;
    };
    const std::vector<Row> rows = {
        {"version: silence", MakeFault(FaultStep::Version, FaultAction::Silence), true, RESULT_BAD_RESPONSE},
        {"version: two bytes", MakeFault(FaultStep::Version, FaultAction::ShortReply, 0, 2), true,
         RESULT_BAD_RESPONSE},
        {"memory: refusal", MakeFault(FaultStep::MemoryRead, FaultAction::AnswerByte, '?'), false,
         RESULT_DEVICE_ERROR},
        {"memory: bad checksum", MakeFault(FaultStep::MemoryRead, FaultAction::BadChecksum), false,
         RESULT_EXT_CHECKSUM},
        {"memory: data without checksum", MakeFault(FaultStep::MemoryRead, FaultAction::ShortReply, 0, 2), false,
         RESULT_EXT_CHECKSUM},
        {"memory: one data byte", MakeFault(FaultStep::MemoryRead, FaultAction::ShortReply, 0, 1), false,
         RESULT_SHORT_READ},
        {"memory: silence", MakeFault(FaultStep::MemoryRead, FaultAction::Silence), false, RESULT_SHORT_READ},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        UnitConfig unit = WithFault(UnitConfig::Kestrale(), row.fault);
        unit.memory = PatternMemory('A', 'U');
        OpenOn(unit);
        link.protocolFlags = 2;
        if (row.version) {
            VersionTriple version{9, 9, 'z'};
            EXPECT_EQ(link.QueryVersion(&version), row.result);
            EXPECT_EQ(version.major, 9) << "the record was touched";
        } else {
            uint8_t buffer[2] = {0xCC, 0xCC};
            EXPECT_EQ(link.ReadEEPROM(buffer, 1, 2), row.result);
        }
        EXPECT_EQ(link.idle, 1);
        EXPECT_EQ(link.portOpen, 1) << "no failure closes the port";

        // The port stays usable: the next exchange is answered (the fault plays once
        // per step kind, so ask the other kind).
        if (row.version) {
            uint8_t byte = 0;
            EXPECT_EQ(link.ReadEEPROM(&byte, 1, 1), RESULT_OK);
            EXPECT_EQ(byte, 'A');
        } else {
            VersionTriple version{};
            EXPECT_EQ(link.QueryVersion(&version), RESULT_OK);
        }
    }
}

TEST_F(BenchLinkTest, ABadChecksumIsLoggedWithBothSums) {
    UnitConfig unit = WithFault(UnitConfig::Kestrale(), MakeFault(FaultStep::MemoryRead, FaultAction::BadChecksum));
    unit.memory = PatternMemory('A', 'U');
    OpenOn(unit);
    link.protocolFlags = 2;
    uint8_t byte = 0;
    ASSERT_EQ(link.ReadEEPROM(&byte, 1, 1), RESULT_EXT_CHECKSUM);
    EXPECT_EQ(byte, 'A');
    EXPECT_TRUE(log.Contains("Quorvantis: ReadEEPROM: Invalid external data checksum\r\n\tCS of recvd data: 41\r\n\t"
                             "CS from device: 42"))
        << log.lines.back();
}

TEST_F(BenchLinkTest, ASilentPortFailsTheVersionQuery) {
    OpenOn(UnitConfig::Silent());
    VersionTriple version{9, 9, 'z'};
    EXPECT_EQ(link.QueryVersion(&version), RESULT_BAD_RESPONSE);
    EXPECT_EQ(version.letter, 'z');
    EXPECT_EQ(HostBytesOnceThere(2), (Bytes{0x56, 0x56}));
}

TEST_F(BenchLinkTest, AHangUpIsAFailureNeverSuccess) {
    OpenOn(WithFault(UnitConfig::Kestrale(), MakeFault(FaultStep::Version, FaultAction::HangUp)));
    VersionTriple version{9, 9, 'z'};
    const ResultCode result = link.QueryVersion(&version);
    EXPECT_LT(result, 0);
    if (!kUnderWine) {
        EXPECT_EQ(result, RESULT_READ_FAILED);
    }
    EXPECT_EQ(version.letter, 'z');
    EXPECT_EQ(link.idle, 1);
}
