// The healthy unit's answers to the version query, both memory-read framings and the speed
// command, and how it keeps in step with the host whatever the chunking or noise.
#include <gtest/gtest.h>

#include "device_model.h"
#include "sim_model_wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

UnitConfig MemoryUnit() {
    UnitConfig c = UnitConfig::Kestrale('S');
    c.memory.resize(65536);
    for (size_t i = 8; i < c.memory.size(); ++i) c.memory[i] = static_cast<uint8_t>(i ^ (i >> 8));
    return c;
}

Bytes MemoryReply(const UnitConfig& c, uint16_t address, size_t n) {
    Bytes r(c.memory.begin() + address, c.memory.begin() + address + static_cast<long>(n));
    r.push_back(WireSum(r));
    return r;
}

TEST(SimModelWire, VersionReplyIsTheThreeBytesWithoutChecksum) {
    struct Case {
        UnitConfig unit;
        Bytes reply;
    };
    const Case cases[] = {
        {UnitConfig::Kestrale('U', {1, 5, 'A'}), {1, 5, 'A'}},
        {UnitConfig::GristPell({12, 0, 'F'}), {12, 0, 'F'}},
        {UnitConfig::TamberlinI({2, 3, '1'}), {2, 3, '1'}},
        {UnitConfig::TamberlinII({255, 255, '2'}), {255, 255, '2'}},
    };
    for (const Case& c : cases) {
        DeviceModel model(c.unit);
        EXPECT_EQ(model.Exchange({'V', 'V'}), c.reply);
    }
}

TEST(SimModelWire, MemoryReadsInBothFramingsAnswerDataThenSum) {
    const UnitConfig unit = MemoryUnit();
    struct Case {
        const char* name;
        Bytes request;
        uint16_t address;
        size_t n;
    };
    const Case cases[] = {
        // The two worked examples of the protocol: model letter and attachment letter.
        {"HR one byte at 1", {0x48, 0x52, 0x01, 0x00, 0x01, 0x9C}, 1, 1},
        {"E one byte at 4", {0x45, 0x01, 0x00, 0x04, 0x00, 0x4A}, 4, 1},
        {"HR 7 bytes", HrRequest(7, 1), 1, 7},
        {"E 7 bytes", ERequest(7, 1), 1, 7},
        {"HR 255 bytes high address", HrRequest(255, 0x1234), 0x1234, 255},
        {"HR 256 bytes as L 0", HrRequest(0, 0x0100), 0x0100, 256},
        {"E 256 bytes as L 0", ERequest(0, 0xFE00), 0xFE00, 256},
    };
    for (const Case& c : cases) {
        DeviceModel model(unit);
        EXPECT_EQ(model.Exchange(c.request), MemoryReply(unit, c.address, c.n)) << c.name;
    }
    EXPECT_EQ(ERequest(0, 0).size(), 261u);
}

TEST(SimModelWire, MemoryPastTheEndReadsAsErasedBytes) {
    DeviceModel model(UnitConfig::Kestrale());  // 256 bytes of memory
    EXPECT_EQ(model.Exchange(HrRequest(2, 0x00FF)), (Bytes{0x00, 0xFF, 0xFF}));
}

TEST(SimModelWire, RequestsWithAWrongChecksumAreRefused) {
    struct Case {
        const char* name;
        Bytes request;
        Bytes reply;
    };
    Bytes hr = HrRequest(1, 1);
    hr.back() ^= 1;
    Bytes e = ERequest(1, 4);
    e.back() ^= 1;
    Bytes eNonZero = ERequest(1, 4);
    eNonZero[4] = 1;  // the filler byte counts in the sum
    const Case cases[] = {
        {"HR", hr, {'?', '?'}},
        {"E", e, {'?', '?'}},
        {"E filler", eNonZero, {'?', '?'}},
        {"speed", {'S', 0, 0x54}, {'?'}},
        {"upload header", {'f', 0, 1, 0x68}, {'?'}},
    };
    for (const Case& c : cases) {
        DeviceModel model(UnitConfig::Kestrale());
        EXPECT_EQ(model.Exchange(c.request), c.reply) << c.name;
        EXPECT_EQ(model.Exchange({'V', 'V'}), (Bytes{1, 5, 'A'})) << c.name << ": back in step";
        EXPECT_EQ(model.Speed(), 115200) << c.name;
    }
}

TEST(SimModelWire, SpeedCommandAnswersAtTheOldSpeedThenSwitches) {
    struct Case {
        uint8_t code;
        int32_t speed;  // 0: refused
    };
    const Case cases[] = {{0, 921600}, {1, 460800}, {3, 230400}, {7, 115200}, {2, 0},
                          {4, 0},      {5, 0},      {6, 0},      {8, 0},      {0xFF, 0}};
    for (const Case& c : cases) {
        DeviceModel model(UnitConfig::Kestrale());
        std::vector<ModelAction> actions;
        const Bytes request = SpeedRequest(c.code);
        model.Feed(request.data(), request.size(), &actions);
        ASSERT_FALSE(actions.empty()) << int(c.code);
        EXPECT_EQ(actions[0].kind, ModelAction::Kind::Send);
        if (c.speed != 0) {
            EXPECT_EQ(actions[0].bytes, Bytes{'O'}) << int(c.code);
            ASSERT_EQ(actions.size(), 2u) << int(c.code);
            EXPECT_EQ(actions[1].kind, ModelAction::Kind::SetSpeed);
            EXPECT_EQ(actions[1].speed, c.speed);
            EXPECT_EQ(model.Speed(), c.speed);
        } else {
            EXPECT_EQ(actions[0].bytes, Bytes{'?'}) << int(c.code);
            EXPECT_EQ(actions.size(), 1u);
            EXPECT_EQ(model.Speed(), 115200);
        }
        EXPECT_EQ(model.Stats().speedCommands, 1);
    }
}

TEST(SimModelWire, UnknownBytesAreIgnoredAndBrokenCommandsResynchronise) {
    struct Case {
        const char* name;
        Bytes input;
        Bytes output;
    };
    const Case cases[] = {
        {"noise before", {0x00, 0xFF, 'x', 'O', 'V', 'V'}, {1, 5, 'A'}},
        {"V then noise", {'V', 'x', 'V', 'V'}, {1, 5, 'A'}},
        {"V then H R", {'V', 'H', 'R', 1, 0, 1, 0x9C}, {'A', 'A'}},
        {"H then V V", {'H', 'V', 'V'}, {1, 5, 'A'}},
        {"two queries", {'V', 'V', 'V', 'V'}, {1, 5, 'A', 1, 5, 'A'}},
    };
    for (const Case& c : cases) {
        DeviceModel model(UnitConfig::Kestrale());
        EXPECT_EQ(model.Exchange(c.input), c.output) << c.name;
    }
}

TEST(SimModelWire, AbandonedPartialRequestLeavesTheUnitIdle) {
    DeviceModel model(UnitConfig::Kestrale());
    EXPECT_TRUE(model.Exchange({'E', 5, 0}).empty());
    EXPECT_TRUE(model.InRequest());
    model.AbandonPartialRequest();
    EXPECT_FALSE(model.InRequest());
    EXPECT_EQ(model.Exchange({'V', 'V'}), (Bytes{1, 5, 'A'}));
}

TEST(SimModelWire, MuteUnitCountsBytesAndNeverAnswers) {
    DeviceModel model(UnitConfig::Silent());
    EXPECT_TRUE(model.Exchange({'V', 'V'}).empty());
    EXPECT_TRUE(model.Exchange(SpeedRequest(0)).empty());
    EXPECT_EQ(model.Stats().bytesIn, 5u);
    EXPECT_EQ(model.Stats().bytesOut, 0u);
}

TEST(SimModelWire, ChunkingDoesNotChangeTheConversation) {
    Bytes input;
    for (const Bytes& part : {Bytes{'V', 'V'}, HrRequest(7, 1), ERequest(0, 0), SpeedRequest(3), Bytes{'V', 'V'}}) {
        input.insert(input.end(), part.begin(), part.end());
    }
    DeviceModel whole(MemoryUnit());
    const Bytes expected = whole.Exchange(input);
    for (size_t chunk : {1u, 2u, 3u, 7u, 64u}) {
        DeviceModel model(MemoryUnit());
        Bytes got;
        for (size_t at = 0; at < input.size(); at += chunk) {
            const Bytes part(input.begin() + static_cast<long>(at),
                             input.begin() + static_cast<long>(std::min(input.size(), at + chunk)));
            const Bytes out = model.Exchange(part);
            got.insert(got.end(), out.begin(), out.end());
        }
        EXPECT_EQ(got, expected) << "chunks of " << chunk;
        EXPECT_EQ(model.Speed(), 230400);
    }
}

}  // namespace
