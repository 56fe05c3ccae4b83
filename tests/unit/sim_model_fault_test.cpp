// The fault plan: at each step the unit answers another byte, stays silent, hangs up or cuts
// its reply short, and afterwards it still understands the next command.
#include <gtest/gtest.h>

#include <functional>

#include "device_model.h"
#include "sim_model_wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Heard {
    Bytes bytes;
    bool hungUp = false;
};

Heard Send(DeviceModel& model, const Bytes& request) {
    std::vector<ModelAction> actions;
    model.Feed(request.data(), request.size(), &actions);
    Heard heard;
    for (const ModelAction& a : actions) {
        if (a.kind == ModelAction::Kind::Send) heard.bytes.insert(heard.bytes.end(), a.bytes.begin(), a.bytes.end());
        if (a.kind == ModelAction::Kind::HangUp) heard.hungUp = true;
    }
    return heard;
}

// A host that follows the answer table: it stops after a header answer other than 'O',
// after a missing block answer, and after '?' or 'R' to a block.
Heard UploadLikeAHost(DeviceModel& model, const Bytes& image) {
    Heard all = Send(model, UploadHeader(image.size()));
    if (all.bytes != Bytes{'O'} || all.hungUp) return all;
    for (const Bytes& block : UploadBlocks(image, TransferSum(image))) {
        const Heard h = Send(model, block);
        all.bytes.insert(all.bytes.end(), h.bytes.begin(), h.bytes.end());
        all.hungUp = all.hungUp || h.hungUp;
        if (h.bytes.empty() || h.hungUp || h.bytes[0] == '?' || h.bytes[0] == 'R') break;
    }
    return all;
}

Fault Make(FaultStep step, int index, FaultAction action, uint8_t byte = 0, int count = 0) {
    Fault f;
    f.step = step;
    f.index = index;
    f.action = action;
    f.byte = byte;
    f.count = count;
    return f;
}

TEST(SimModelFault, EachFaultReplacesItsStepAndTheUnitStaysInStep) {
    using S = FaultStep;
    using A = FaultAction;
    const Bytes image = GoodImage(700);  // three blocks
    const auto version = [](DeviceModel& m) { return Send(m, {'V', 'V'}); };
    const auto readAt = [](uint16_t address, uint8_t n) {
        return [=](DeviceModel& m) { return Send(m, HrRequest(n, address)); };
    };
    const auto speed = [](DeviceModel& m) { return Send(m, SpeedRequest(0)); };
    const auto upload = [&](DeviceModel& m) { return UploadLikeAHost(m, image); };

    struct Case {
        const char* name;
        Fault fault;
        std::function<Heard(DeviceModel&)> exchange;
        Bytes heard;
        bool hungUp;
        bool programmed;
        int32_t speedAfter;
    };
    const Case cases[] = {
        {"version letter", Make(S::Version, -1, A::AnswerByte, 'Z'), version, {1, 5, 'Z'}, false, false, 115200},
        {"version short", Make(S::Version, -1, A::ShortReply, 0, 2), version, {1, 5}, false, false, 115200},
        {"version silence", Make(S::Version, -1, A::Silence), version, {}, false, false, 115200},
        {"version hang-up", Make(S::Version, -1, A::HangUp), version, {}, true, false, 115200},
        {"read refused", Make(S::MemoryRead, 1, A::AnswerByte, '?'), readAt(1, 1), {'?', '?'}, false, false, 115200},
        {"read bad sum", Make(S::MemoryRead, 4, A::BadChecksum), readAt(4, 1), {'U', 'U' + 1}, false, false, 115200},
        {"other address unharmed", Make(S::MemoryRead, 4, A::BadChecksum), readAt(1, 1), {'A', 'A'}, false, false,
         115200},
        {"read short", Make(S::MemoryRead, -1, A::ShortReply, 0, 1), readAt(1, 2), {'A'}, false, false, 115200},
        {"read silence", Make(S::MemoryRead, -1, A::Silence), readAt(1, 1), {}, false, false, 115200},
        {"speed refused", Make(S::SpeedChange, -1, A::AnswerByte, '?'), speed, {'?'}, false, false, 115200},
        {"speed odd byte", Make(S::SpeedChange, -1, A::AnswerByte, 'X'), speed, {'X'}, false, false, 115200},
        {"speed silence", Make(S::SpeedChange, -1, A::Silence), speed, {}, false, false, 115200},
        {"speed hang-up", Make(S::SpeedChange, -1, A::HangUp), speed, {}, true, false, 115200},
        {"header refused", Make(S::UploadHeader, -1, A::AnswerByte, '?'), upload, {'?'}, false, false, 115200},
        {"header silence", Make(S::UploadHeader, -1, A::Silence), upload, {}, false, false, 115200},
        {"block C goes on", Make(S::UploadBlock, 1, A::AnswerByte, 'C'), upload, {'O', 'O', 'C', 'O', 'O'}, false,
         true, 115200},
        {"block E goes on", Make(S::UploadBlock, 0, A::AnswerByte, 'E'), upload, {'O', 'E', 'O', 'O', 'O'}, false,
         true, 115200},
        {"block refused", Make(S::UploadBlock, 0, A::AnswerByte, '?'), upload, {'O', '?'}, false, false, 115200},
        {"last block R", Make(S::UploadBlock, 2, A::AnswerByte, 'R'), upload, {'O', 'O', 'O', 'R'}, false, false,
         115200},
        {"block silence", Make(S::UploadBlock, 1, A::Silence), upload, {'O', 'O'}, false, false, 115200},
        {"block short 0", Make(S::UploadBlock, 2, A::ShortReply, 0, 0), upload, {'O', 'O', 'O'}, false, false,
         115200},
        {"any block hang-up", Make(S::UploadBlock, -1, A::HangUp), upload, {'O'}, true, false, 115200},
        {"final W", Make(S::UploadFinal, -1, A::AnswerByte, 'W'), upload, {'O', 'O', 'O', 'O', 'W'}, false, false,
         115200},
        {"final C", Make(S::UploadFinal, -1, A::AnswerByte, 'C'), upload, {'O', 'O', 'O', 'O', 'C'}, false, true,
         115200},
        {"extra after block", Make(S::UploadBlock, 1, A::ExtraAfter, '?'), upload, {'O', 'O', 'O', '?', 'O', 'O'},
         false, true, 115200},
        {"early before block", Make(S::UploadBlock, 2, A::ExtraBefore, 'W'), upload, {'O', 'O', 'O', 'W', 'O', 'O'},
         false, true, 115200},
        {"early before final", Make(S::UploadFinal, -1, A::ExtraBefore, 0x00), upload, {'O', 'O', 'O', 'O', 0x00, 'O'},
         false, true, 115200},
        {"final silence", Make(S::UploadFinal, -1, A::Silence), upload, {'O', 'O', 'O', 'O'}, false, false, 115200},
        {"final hang-up", Make(S::UploadFinal, -1, A::HangUp), upload, {'O', 'O', 'O', 'O'}, true, false, 115200},
    };
    for (const Case& c : cases) {
        UnitConfig unit = UnitConfig::Kestrale('U', {1, 5, 'A'});
        unit.faults = {c.fault};
        DeviceModel model(unit);
        const Heard heard = c.exchange(model);
        EXPECT_EQ(heard.bytes, c.heard) << c.name;
        EXPECT_EQ(heard.hungUp, c.hungUp) << c.name;
        EXPECT_EQ(model.Stats().uploadsProgrammed, c.programmed ? 1 : 0) << c.name;
        EXPECT_EQ(model.Speed(), c.speedAfter) << c.name;
        EXPECT_FALSE(model.InRequest()) << c.name << ": waits for a new command";
        if (c.fault.step != S::Version) {
            const Bytes expected = c.programmed ? Bytes{1, 6, 'A'} : Bytes{1, 5, 'A'};
            EXPECT_EQ(Send(model, {'V', 'V'}).bytes, expected) << c.name << ": next command understood";
        }
    }
}

TEST(SimModelFault, FaultsRepeatAtEveryOccurrenceOfTheirStep) {
    UnitConfig unit = UnitConfig::Kestrale();
    unit.faults = {Make(FaultStep::UploadBlock, 1, FaultAction::AnswerByte, 'C')};
    DeviceModel model(unit);
    const Bytes image = GoodImage(600);
    EXPECT_EQ(UploadLikeAHost(model, image).bytes, (Bytes{'O', 'O', 'C', 'O', 'O'}));
    EXPECT_EQ(UploadLikeAHost(model, image).bytes, (Bytes{'O', 'O', 'C', 'O', 'O'}));
    EXPECT_EQ(model.Stats().uploadsProgrammed, 2);
}

}  // namespace
