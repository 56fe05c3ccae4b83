// Discovery over the fake serial layer, with the emulator's model playing the unit on
// each port: which ports are tried, which stays open, and what the unit is said to be.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "device_link.h"
#include "device_model.h"
#include "serial_fake.h"

namespace {

class DiscoveryOverFake : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        fake.SetExistingPorts({});
    }

    // Puts a unit on a port (which then exists); a unit that does not answer is a port
    // that opens but stays silent.
    void Place(const std::string& port, const UnitConfig& config) {
        auto model = std::make_shared<DeviceModel>(config);
        models[port] = model;
        existing.push_back(port);
        fake.SetExistingPorts(existing);
        fake.SetPortPeer(port, [model, answers = config.answers](const uint8_t* data, size_t n) {
            return answers ? model->Exchange(std::vector<uint8_t>(data, data + n)) : std::vector<uint8_t>{};
        });
    }

    std::vector<std::string> OpenedPorts() const {
        std::vector<std::string> opened;
        for (const std::string& call : fake.Calls())
            if (call.rfind("open ", 0) == 0) opened.push_back(call.substr(5));
        return opened;
    }

    FakeSerial& fake = FakeSerial::Get();
    DeviceLink link;
    std::map<std::string, std::shared_ptr<DeviceModel>> models;
    std::vector<std::string> existing;
    char description[260] = "";
    VersionTriple version{9, 9, '9'};
};

TEST_F(DiscoveryOverFake, FirstAnsweringPortIsKeptAndLaterOnesNeverOpened) {
    Place("COM2", UnitConfig::Kestrale('U', {1, 5, 'A'}));
    Place("COM4", UnitConfig::GristPell());

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), 0x41);

    EXPECT_STREQ(description, "Kestrale USB v1.5.A");
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 5);
    EXPECT_EQ(version.letter, 'A');
    EXPECT_EQ(OpenedPorts(), (std::vector<std::string>{"COM1 -> fail", "COM2"}));
    EXPECT_TRUE(fake.IsOpen("COM2"));
    EXPECT_STREQ(link.portName, "COM2");
    EXPECT_EQ(link.portOpen, 1);
    EXPECT_EQ(models["COM4"]->Stats().bytesIn, 0u);
}

TEST_F(DiscoveryOverFake, OnlyTheFifthPortAnswers) {
    Place("COM2", UnitConfig::Silent());  // opens, but no unit answers
    Place("COM3", UnitConfig::Silent());
    Place("COM5", UnitConfig::TamberlinII({3, 1, '2'}));

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), KIND_TAMBERLIN_II);
    EXPECT_STREQ(description, "Tamberlin II v3.1.2");
    EXPECT_EQ(OpenedPorts(),
              (std::vector<std::string>{"COM1 -> fail", "COM2", "COM3", "COM4 -> fail", "COM5"}));
    // Each silent port was let go by the next open; only the answering one is held.
    EXPECT_FALSE(fake.IsOpen("COM2"));
    EXPECT_FALSE(fake.IsOpen("COM3"));
    EXPECT_TRUE(fake.IsOpen("COM5"));
    EXPECT_EQ(fake.OpenHandleCount(), 1);
}

TEST_F(DiscoveryOverFake, UnknownLetterEndsTheSearchWithNoKind) {
    UnitConfig stranger = UnitConfig::Kestrale('U', {4, 2, 'Z'});
    Place("COM1", stranger);
    Place("COM2", UnitConfig::Kestrale('U'));
    std::strcpy(description, "old");
    link.modelCode = 77;
    link.protocolFlags = 5;

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), 0);

    EXPECT_EQ(version.major, 4);
    EXPECT_EQ(version.minor, 2);
    EXPECT_EQ(version.letter, 'Z');
    EXPECT_STREQ(description, "old v4.2.Z");
    EXPECT_EQ(OpenedPorts(), (std::vector<std::string>{"COM1"}));
    EXPECT_TRUE(fake.IsOpen("COM1"));
    EXPECT_EQ(link.modelCode, 77);
    EXPECT_EQ(link.protocolFlags, 5);
}

TEST_F(DiscoveryOverFake, NoUnitAnywhere) {
    for (const char* port : {"COM1", "COM2", "COM3", "COM4", "COM5"}) Place(port, UnitConfig::Silent());
    std::strcpy(description, "old text");

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), 0);

    EXPECT_EQ(description[0], '\0');
    EXPECT_EQ(std::memcmp(description + 1, "ld text", 8), 0) << "only the first character is cleared";
    EXPECT_EQ(version.major, 0);
    EXPECT_EQ(version.minor, 0);
    EXPECT_EQ(version.letter, 0);
    EXPECT_EQ(link.modelCode, 8);
    EXPECT_EQ(link.protocolFlags, 1);
    // The last port tried is still held; the earlier ones were released.
    EXPECT_TRUE(fake.IsOpen("COM5"));
    EXPECT_EQ(fake.OpenHandleCount(), 1);
}

TEST_F(DiscoveryOverFake, NoPortsAtAll) {
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), 0);
    EXPECT_EQ(OpenedPorts().size(), 5u);
    EXPECT_EQ(link.portHandle, nullptr);
    EXPECT_EQ(version.letter, 0);
}

TEST_F(DiscoveryOverFake, WithoutVersionRecordNothingIsTouched) {
    Place("COM1", UnitConfig::Kestrale('U'));
    std::strcpy(description, "keep");
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, nullptr), 0);
    EXPECT_STREQ(description, "keep");
    EXPECT_TRUE(fake.Calls().empty());
}

TEST_F(DiscoveryOverFake, WithoutDescriptionTheSameKindAndVersion) {
    Place("COM3", UnitConfig::Kestrale('S', {2, 0, 'A'}));
    EXPECT_EQ(link.DiscoverDevice(nullptr, 0, &version), 0x81);
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.letter, 'A');
}

TEST_F(DiscoveryOverFake, CallerGivenPortList) {
    fake.SetExistingPorts({});
    Place("/dev/ttyUSB3", UnitConfig::GristPell({12, 0, 'F'}));
    Place("COM1", UnitConfig::Kestrale('U'));
    const char* const names[] = {"/dev/ttyUSB0", "/dev/ttyUSB3", "COM1"};
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, PortList{names, 3}), KIND_GRIST_PELL);
    EXPECT_STREQ(description, "Grist & Pell v12.0.F");
    EXPECT_STREQ(link.portName, "/dev/ttyUSB3");
    EXPECT_EQ(OpenedPorts(), (std::vector<std::string>{"/dev/ttyUSB0 -> fail", "/dev/ttyUSB3"}));

    // An empty list tries nothing.
    fake.ClearCalls();
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, PortList{nullptr, 0}), 0);
    EXPECT_TRUE(OpenedPorts().empty());
}

TEST_F(DiscoveryOverFake, DescriptionIsCutToTheCallersCapacity) {
    Place("COM1", UnitConfig::Kestrale('U', {1, 5, 'A'}));
    char small[16];
    std::memset(small, '#', sizeof small);
    small[0] = '\0';
    EXPECT_EQ(link.DiscoverDevice(small, 10, &version), 0x41);
    EXPECT_STREQ(small, "Kestrale ");
    for (size_t i = 10; i < sizeof small; ++i) EXPECT_EQ(small[i], '#') << "byte " << i;
}

// Every letter and memory combination: kind, description, modelCode and protocolFlags.
struct IdentityCase {
    const char* name;
    char letter;
    uint8_t modelByte;       // memory address 1
    uint8_t attachmentByte;  // memory address 4
    DeviceKind kind;
    const char* description;
    int32_t modelCode;
    int32_t protocolFlags;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const IdentityCase& c, std::ostream* os) { *os << c.name; }

const IdentityCase kIdentities[] = {
    {"TamberlinI", '1', 0, 0, 0x08, "Tamberlin I v7.3.1", 8, 1},
    {"TamberlinII", '2', 0, 0, 0x04, "Tamberlin II v7.3.2", 4, 1},
    {"KestraleSerial", 'A', 'A', 'S', 0x81, "Kestrale Serial v7.3.A", 32, 2},
    {"KestraleUsb", 'A', 'A', 'U', 0x41, "Kestrale USB v7.3.A", 32, 2},
    {"KestralePlain", 'A', 'A', 'X', 0x01, "Kestrale v7.3.A", 32, 2},
    {"KestraleNoAttachment", 'A', 'A', 0, 0x01, "Kestrale v7.3.A", 32, 2},
    {"GristPell", 'F', 'F', 0, 0x02, "Grist & Pell v7.3.F", 32, 2},
    {"GristPellIgnoresAttachment", 'F', 'F', 'U', 0x02, "Grist & Pell v7.3.F", 32, 2},
    // The memory's model letter outranks the revision letter.
    {"LetterFMemoryKestraleUsb", 'F', 'A', 'U', 0x41, "Kestrale USB v7.3.F", 32, 2},
    {"LetterAMemoryGristPell", 'A', 'F', 'S', 0x02, "Grist & Pell v7.3.A", 32, 2},
    // Memory that names neither: the revision letter decides.
    {"LetterAUnknownMemory", 'A', 'Q', 'U', 0x01, "Kestrale v7.3.A", 32, 2},
    {"LetterFUnknownMemory", 'F', 0, 'S', 0x02, "Grist & Pell v7.3.F", 32, 2},
};

class IdentityTest : public DiscoveryOverFake, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(IdentityTest, IdentifiesTheUnit) {
    const IdentityCase& c = GetParam();
    UnitConfig config = UnitConfig::Kestrale('U', {7, 3, c.letter});
    config.memory[1] = c.modelByte;
    config.memory[4] = c.attachmentByte;
    Place("COM1", config);

    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version), c.kind);
    EXPECT_STREQ(description, c.description);
    EXPECT_EQ(link.modelCode, c.modelCode);
    EXPECT_EQ(link.protocolFlags, c.protocolFlags);
    // Memory is read only for the two flashable letters, with the HR framing.
    const bool readsMemory = c.letter == 'A' || c.letter == 'F';
    size_t memoryReads = 0;
    for (const auto& w : fake.Writes())
        if (w.size() == 6 && w[0] == 'H' && w[1] == 'R') ++memoryReads;
    EXPECT_EQ(memoryReads, readsMemory ? 7u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Identities, IdentityTest, ::testing::ValuesIn(kIdentities),
                         [](const ::testing::TestParamInfo<IdentityCase>& p) { return p.param.name; });

// Memory that cannot be read: a refused read stores '?', a silent one leaves the byte as
// discovery zero-filled it. Either way the revision letter decides.
TEST_F(DiscoveryOverFake, UnreadableMemoryFallsBackToTheLetter) {
    struct Case {
        char letter;
        FaultAction action;
        int address;
        DeviceKind kind;
    };
    const Case cases[] = {
        {'A', FaultAction::Silence, -1, KIND_KESTRALE},
        {'F', FaultAction::Silence, -1, KIND_GRIST_PELL},
        {'A', FaultAction::AnswerByte, 1, KIND_KESTRALE},  // '?' as the model letter
        {'F', FaultAction::AnswerByte, 1, KIND_GRIST_PELL},
        {'A', FaultAction::Silence, 4, KIND_KESTRALE},     // attachment unread: reads as 0
        {'A', FaultAction::BadChecksum, 4, 0x41},          // stored all the same
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("letter ") + c.letter + " address " + std::to_string(c.address));
        SetUp();
        models.clear();
        existing.clear();
        UnitConfig config = UnitConfig::Kestrale('U', {1, 0, c.letter});
        Fault fault;
        fault.step = FaultStep::MemoryRead;
        fault.index = c.address;
        fault.action = c.action;
        fault.byte = '?';
        config.faults.push_back(fault);
        Place("COM1", config);
        DeviceLink fresh;
        EXPECT_EQ(fresh.DiscoverDevice(nullptr, 0, &version), c.kind);
        EXPECT_EQ(fresh.modelCode, 32);
        EXPECT_EQ(fresh.protocolFlags, 2);
    }
}

// The firmware capability from an earlier 'A' or 'F' identification survives a later
// '1' or '2' one on the same link: those letters only add their own bit.
TEST_F(DiscoveryOverFake, CapabilityBitSurvivesLaterTamberlin) {
    Place("COM1", UnitConfig::GristPell());
    ASSERT_EQ(link.DiscoverDevice(nullptr, 0, &version), KIND_GRIST_PELL);
    ASSERT_EQ(link.protocolFlags, 2);

    for (char letter : {'1', '2'}) {
        fake.Reset();
        fake.SetExistingPorts({});
        existing.clear();
        Place("COM1", letter == '1' ? UnitConfig::TamberlinI() : UnitConfig::TamberlinII());
        EXPECT_EQ(link.DiscoverDevice(nullptr, 0, &version), letter == '1' ? KIND_TAMBERLIN_I : KIND_TAMBERLIN_II);
        EXPECT_EQ(link.protocolFlags, 3) << "after letter " << letter;
        EXPECT_EQ(link.modelCode, letter == '1' ? 8 : 4);
    }
}

// A probe of one port says why it found nothing, from the link's own view of the port,
// and keeps the port open exactly when something there talked or could have.
TEST_F(DiscoveryOverFake, ProbeOutcomeForEachWayAPortEnds) {
    struct Row {
        const char* what;
        std::function<void()> setUp;
        const char* port;
        ProbeState state;
        uint32_t osError;
        DeviceKind kind;
        bool portKept;
    };
    const std::vector<Row> rows = {
        {"a unit", [this] { Place("COM1", UnitConfig::Kestrale('U', {1, 5, 'A'})); }, "COM1",
         ProbeState::Found, 0, KIND_KESTRALE | KIND_USB, true},
        {"an unknown letter", [this] { Place("COM1", UnitConfig::Kestrale('U', {4, 2, 'Z'})); },
         "COM1", ProbeState::UnknownUnit, 0, 0, true},
        {"silence", [this] { Place("COM1", UnitConfig::Silent()); }, "COM1",
         ProbeState::NoAnswer, 0, 0, true},
        {"refused settings",
         [this] {
             Place("COM1", UnitConfig::GristPell());
             fake.FailNext(FakeSerial::Step::SetLineSettings);
         },
         "COM1", ProbeState::CannotConfigure, 0, 0, true},
        {"no such port", [this] { Place("COM1", UnitConfig::GristPell()); }, "COM9",
         ProbeState::NoSuchPort, FakeSerial::kNoSuchPortError, 0, false},
        {"busy",
         [this] {
             Place("COM1", UnitConfig::GristPell());
             fake.FailNext(FakeSerial::Step::Open, FakeSerial::kBusyError);
         },
         "COM1", ProbeState::Busy, FakeSerial::kBusyError, 0, false},
        {"another refusal",
         [this] {
             Place("COM1", UnitConfig::GristPell());
             fake.FailNext(FakeSerial::Step::Open);
         },
         "COM1", ProbeState::CannotOpen, FakeSerial::kDriverError, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        fake.Reset();
        existing.clear();
        fake.SetExistingPorts({});
        row.setUp();
        DeviceLink fresh;
        const ProbeOutcome outcome = fresh.ProbePort(row.port);
        EXPECT_EQ(outcome.state, row.state);
        EXPECT_EQ(outcome.osError, row.osError);
        EXPECT_EQ(outcome.kind, row.kind);
        EXPECT_EQ(outcome.Answered(), row.state == ProbeState::Found || row.state == ProbeState::UnknownUnit);
        EXPECT_EQ(fresh.HoldsPort(), row.portKept);
        if (row.state == ProbeState::Found) {
            EXPECT_STREQ(outcome.description, "Kestrale USB v1.5.A");
        }
    }
}

}  // namespace
