// The unit text: presets, parsing, refusals, and format/parse round trips.
#include <gtest/gtest.h>

#include "unit_config.h"

namespace {

bool SameVersion(const VersionTriple& a, const VersionTriple& b) {
    return a.major == b.major && a.minor == b.minor && a.letter == b.letter;
}

bool SameFault(const Fault& a, const Fault& b) {
    return a.step == b.step && a.index == b.index && a.action == b.action &&
           (a.action == FaultAction::Silence || a.action == FaultAction::HangUp || a.action == FaultAction::ShortReply ||
            a.action == FaultAction::BadChecksum || a.byte == b.byte) &&
           (a.action != FaultAction::ShortReply || a.count == b.count);
}

void ExpectSame(const UnitConfig& a, const UnitConfig& b, const std::string& what) {
    EXPECT_EQ(a.present, b.present) << what;
    EXPECT_EQ(a.answers, b.answers) << what;
    EXPECT_TRUE(SameVersion(a.version, b.version)) << what;
    EXPECT_TRUE(SameVersion(a.versionAfterUpload, b.versionAfterUpload)) << what;
    EXPECT_EQ(a.memory, b.memory) << what;
    EXPECT_EQ(a.paced, b.paced) << what;
    EXPECT_EQ(a.staysAtFastSpeedAfterUpload, b.staysAtFastSpeedAfterUpload) << what;
    EXPECT_EQ(a.muteAfterUpload, b.muteAfterUpload) << what;
    EXPECT_EQ(a.startSpeed, b.startSpeed) << what;
    ASSERT_EQ(a.faults.size(), b.faults.size()) << what;
    for (size_t i = 0; i < a.faults.size(); ++i) EXPECT_TRUE(SameFault(a.faults[i], b.faults[i])) << what;
}

TEST(SimUnitConfig, ParsesTheDocumentedForms) {
    UnitConfig c;
    std::string error;
    ASSERT_TRUE(ParseUnitConfig("kestrale:S version=1.5.A after=2.0.A paced stays-fast speed=460800 "
                                "fault=block:3:byte:0x52 fault=final:silence fault=read:4:badsum "
                                "fault=version:short:2 fault=header:byte:? fault=speed:hangup mem=8:DEAD "
                                "fault=block:5:extra:X fault=final:early:0x00 mute-after fault=speed:1:byte:?",
                                &c, &error))
        << error;
    EXPECT_EQ(c.memory[1], 'A');
    EXPECT_EQ(c.memory[4], 'S');
    EXPECT_EQ(c.memory[8], 0xDE);
    EXPECT_EQ(c.memory[9], 0xAD);
    EXPECT_TRUE(SameVersion(c.versionAfterUpload, {2, 0, 'A'}));
    EXPECT_TRUE(c.paced);
    EXPECT_TRUE(c.staysAtFastSpeedAfterUpload);
    EXPECT_TRUE(c.muteAfterUpload);
    EXPECT_EQ(c.startSpeed, 460800);
    ASSERT_EQ(c.faults.size(), 9u);
    EXPECT_TRUE(SameFault(c.faults[0], {FaultStep::UploadBlock, 3, FaultAction::AnswerByte, 'R', 0}));
    EXPECT_TRUE(SameFault(c.faults[1], {FaultStep::UploadFinal, -1, FaultAction::Silence, 0, 0}));
    EXPECT_TRUE(SameFault(c.faults[2], {FaultStep::MemoryRead, 4, FaultAction::BadChecksum, 0, 0}));
    EXPECT_TRUE(SameFault(c.faults[3], {FaultStep::Version, -1, FaultAction::ShortReply, 0, 2}));
    EXPECT_TRUE(SameFault(c.faults[4], {FaultStep::UploadHeader, -1, FaultAction::AnswerByte, '?', 0}));
    EXPECT_TRUE(SameFault(c.faults[5], {FaultStep::SpeedChange, -1, FaultAction::HangUp, 0, 0}));
    EXPECT_TRUE(SameFault(c.faults[6], {FaultStep::UploadBlock, 5, FaultAction::ExtraAfter, 'X', 0}));
    EXPECT_TRUE(SameFault(c.faults[7], {FaultStep::UploadFinal, -1, FaultAction::ExtraBefore, 0, 0}));
    EXPECT_TRUE(SameFault(c.faults[8], {FaultStep::SpeedChange, 1, FaultAction::AnswerByte, '?', 0}));

    ASSERT_TRUE(ParseUnitConfig("gristpell fault=block:byte:82", &c, &error)) << error;
    EXPECT_TRUE(SameFault(c.faults[0], {FaultStep::UploadBlock, -1, FaultAction::AnswerByte, 'R', 0}));
    ASSERT_TRUE(ParseUnitConfig("absent", &c, &error));
    EXPECT_FALSE(c.present);
}

TEST(SimUnitConfig, RefusesWhatItCannotRead) {
    const char* bad[] = {
        "",
        "toaster",
        "kestrale version=1.5",
        "kestrale version=256.0.A",
        "kestrale after=1.5.AB",
        "kestrale fault=block:3",
        "kestrale fault=block:3:byte",
        "kestrale fault=block:3:byte:300",
        "kestrale fault=block:3:extra",
        "kestrale fault=version:badsum",
        "kestrale fault=nowhere:silence",
        "kestrale fault=final:silence:extra",
        "kestrale mem=1:4",
        "kestrale mem=70000:41",
        "kestrale memsize=0",
        "kestrale speed=9600",
        "kestrale speed=300000",
        "kestrale loud",
    };
    for (const char* text : bad) {
        UnitConfig c;
        std::string error;
        EXPECT_FALSE(ParseUnitConfig(text, &c, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(SimUnitConfig, FormatThenParseGivesTheSameUnit) {
    UnitConfig faulty = UnitConfig::Kestrale('S', {9, 250, 'A'});
    faulty.faults = {{FaultStep::UploadBlock, 0, FaultAction::AnswerByte, ':', 0},
                     {FaultStep::MemoryRead, -1, FaultAction::ShortReply, 0, 3},
                     {FaultStep::UploadFinal, -1, FaultAction::HangUp, 0, 0}};
    faulty.paced = true;
    UnitConfig big = UnitConfig::TamberlinII();
    big.memory.resize(4096, 0);
    big.memory[4095] = 0xFF;
    big.staysAtFastSpeedAfterUpload = true;
    const UnitConfig units[] = {UnitConfig::Kestrale(), UnitConfig::GristPell(), UnitConfig::TamberlinI(),
                                UnitConfig::Absent(),   UnitConfig::Silent(),    faulty,
                                big};
    for (const UnitConfig& unit : units) {
        const std::string text = FormatUnitConfig(unit);
        UnitConfig back;
        std::string error;
        ASSERT_TRUE(ParseUnitConfig(text, &back, &error)) << text << ": " << error;
        ExpectSame(back, unit, text);
    }
}

}  // namespace
