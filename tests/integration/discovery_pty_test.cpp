// Discovery on real serial ports against emulated units: which port is used, which are
// never touched (the units' traces are the witness), and what the unit is said to be.
#include <gtest/gtest.h>

#include <cstring>

#include "discovery_upload_bench.h"

namespace {

class DiscoveryOnPorts : public BenchTest {
protected:
    char description[260] = "";
    VersionTriple version{9, 9, '9'};
};

TEST_F(DiscoveryOnPorts, SecondOfTwoUnitsIsUsedAndLaterPortsUntouched) {
    bench.Configure(2, UnitConfig::Kestrale('U', {1, 5, 'A'}));
    bench.Configure(4, UnitConfig::GristPell());

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, Ports()), 0x41);

    EXPECT_STREQ(description, "Kestrale USB v1.5.A");
    EXPECT_EQ(link.portOpen, 1);
    EXPECT_EQ(std::string(link.portName), bench.PortName(2));
    EXPECT_TRUE(bench.PortInUse(2));
    EXPECT_FALSE(bench.PortInUse(4));
    EXPECT_TRUE(bench.HostBytes(4).empty()) << "the unit on the fourth port was spoken to";
    // Version query, then seven one-byte memory reads in the HR framing.
    std::vector<uint8_t> sent = bench.HostBytes(2);
    ASSERT_EQ(sent.size(), 2u + 7u * 6u);
    EXPECT_EQ(sent[0], 'V');
    EXPECT_EQ(sent[1], 'V');
    EXPECT_EQ(sent[2], 'H');
}

TEST_F(DiscoveryOnPorts, OnlyTheFifthAnswers) {
    bench.Configure(3, UnitConfig::Silent());
    bench.Configure(4, UnitConfig::Silent());
    bench.Configure(5, UnitConfig::TamberlinI({2, 3, '1'}));

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, Ports()), KIND_TAMBERLIN_I);

    EXPECT_STREQ(description, "Tamberlin I v2.3.1");
    EXPECT_EQ(link.modelCode, 8);
    EXPECT_EQ(link.protocolFlags, 1);
    EXPECT_EQ(std::string(link.portName), bench.PortName(5));
    // The silent ports were asked and then let go.
    EXPECT_EQ(bench.HostBytes(3), (std::vector<uint8_t>{'V', 'V'}));
    EXPECT_FALSE(bench.PortInUse(3));
    EXPECT_FALSE(bench.PortInUse(4));
    EXPECT_TRUE(bench.PortInUse(5));
}

TEST_F(DiscoveryOnPorts, UnknownLetterOnFirstStopsBeforeTheKestrale) {
    bench.Configure(1, UnitConfig::Kestrale('U', {4, 2, 'Z'}));
    bench.Configure(2, UnitConfig::Kestrale('U'));

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, Ports()), 0);

    EXPECT_EQ(version.major, 4);
    EXPECT_EQ(version.minor, 2);
    EXPECT_EQ(version.letter, 'Z');
    EXPECT_STREQ(description, " v4.2.Z");
    EXPECT_TRUE(bench.HostBytes(2).empty()) << "the second port was tried";
    EXPECT_TRUE(bench.PortInUse(1));
}

TEST_F(DiscoveryOnPorts, NoUnitAtAll) {
    bench.Configure(2, UnitConfig::Silent());
    std::strcpy(description, "before");

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, Ports()), 0);

    EXPECT_EQ(description[0], '\0');
    EXPECT_EQ(version.major, 0);
    EXPECT_EQ(version.minor, 0);
    EXPECT_EQ(version.letter, 0);
    EXPECT_EQ(link.modelCode, 8);
    EXPECT_EQ(link.protocolFlags, 1);
}

struct IdentityCase {
    const char* name;
    char letter;
    uint8_t modelByte;
    uint8_t attachmentByte;
    DeviceKind kind;
    const char* description;
    int32_t modelCode;
    int32_t protocolFlags;
};

const IdentityCase kIdentities[] = {
    {"TamberlinI", '1', 0, 0, 0x08, "Tamberlin I v7.3.1", 8, 1},
    {"TamberlinII", '2', 0, 0, 0x04, "Tamberlin II v7.3.2", 4, 1},
    {"KestraleSerial", 'A', 'A', 'S', 0x81, "Kestrale Serial v7.3.A", 32, 2},
    {"KestraleUsb", 'A', 'A', 'U', 0x41, "Kestrale USB v7.3.A", 32, 2},
    {"KestralePlain", 'A', 'A', 'X', 0x01, "Kestrale v7.3.A", 32, 2},
    {"GristPell", 'F', 'F', 'U', 0x02, "Grist & Pell v7.3.F", 32, 2},
    {"LetterFMemoryKestraleUsb", 'F', 'A', 'U', 0x41, "Kestrale USB v7.3.F", 32, 2},
    {"LetterAMemoryGristPell", 'A', 'F', 'S', 0x02, "Grist & Pell v7.3.A", 32, 2},
    {"LetterAUnknownMemory", 'A', 'Q', 'U', 0x01, "Kestrale v7.3.A", 32, 2},
    {"LetterFUnknownMemory", 'F', 0, 'S', 0x02, "Grist & Pell v7.3.F", 32, 2},
};

// One test for the whole table: on wine every test process pays for its own emulator.
TEST_F(DiscoveryOnPorts, IdentifiesEveryLetterAndMemoryCombination) {
    for (const IdentityCase& c : kIdentities) {
        SCOPED_TRACE(c.name);
        UnitConfig config = UnitConfig::Kestrale('U', {7, 3, c.letter});
        config.memory[1] = c.modelByte;
        config.memory[4] = c.attachmentByte;
        bench.Configure(1, config);
        DeviceLink fresh;
        description[0] = '\0';

        EXPECT_EQ(fresh.DiscoverDevice(description, sizeof description, &version, Ports()), c.kind);
        EXPECT_STREQ(description, c.description);
        EXPECT_EQ(fresh.modelCode, c.modelCode);
        EXPECT_EQ(fresh.protocolFlags, c.protocolFlags);
    }
}

TEST_F(DiscoveryOnPorts, CapabilitySurvivesALaterTamberlin) {
    bench.Configure(1, UnitConfig::Kestrale('S'));
    ASSERT_EQ(link.DiscoverDevice(nullptr, 0, &version, Ports()), 0x81);
    ASSERT_EQ(link.protocolFlags, 2);
    link.ClosePort();

    bench.Configure(1, UnitConfig::TamberlinII());
    EXPECT_EQ(link.DiscoverDevice(nullptr, 0, &version, Ports()), KIND_TAMBERLIN_II);
    EXPECT_EQ(link.protocolFlags, 3);
    EXPECT_EQ(link.modelCode, 4);
}

}  // namespace
