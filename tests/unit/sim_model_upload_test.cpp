// The healthy unit taking firmware: header, 256-byte blocks with T on the last, final status,
// the recorded image, the new version and the speed it restarts at.
#include <gtest/gtest.h>

#include "device_model.h"
#include "sim_model_wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct UploadRun {
    Bytes headerAnswer;
    std::vector<Bytes> blockAnswers;
    Bytes afterLastBlock;  // what came after the last block's own answer
};

// Sends header and blocks as a stop-and-wait host would, one write each.
UploadRun Upload(DeviceModel& model, const Bytes& image, uint8_t t) {
    UploadRun run;
    run.headerAnswer = model.Exchange(UploadHeader(image.size()));
    const auto blocks = UploadBlocks(image, t);
    for (size_t i = 0; i < blocks.size(); ++i) {
        Bytes answer = model.Exchange(blocks[i]);
        if (i + 1 == blocks.size() && answer.size() > 1) {
            run.afterLastBlock.assign(answer.begin() + 1, answer.end());
            answer.resize(1);
        }
        run.blockAnswers.push_back(answer);
    }
    return run;
}

TEST(SimModelUpload, GoodImagesOfEverySizeAreTakenAndRecorded) {
    struct Case {
        size_t n;
        Bytes header;
        size_t blocks;
        size_t lastBlockSize;
    };
    const Case cases[] = {
        {1, {0x66, 0x00, 0x01, 0x67}, 1, 2},
        {100, {0x66, 0x00, 0x64, 0xCA}, 1, 101},
        {256, {0x66, 0x01, 0x00, 0x67}, 1, 257},
        {300, {0x66, 0x01, 0x2C, 0x93}, 2, 45},
        {512, {0x66, 0x02, 0x00, 0x68}, 2, 257},
        {65536, {0x66, 0x00, 0x00, 0x66}, 256, 257},
    };
    for (const Case& c : cases) {
        const Bytes image = GoodImage(c.n);
        ASSERT_EQ(UploadHeader(c.n), c.header) << c.n;
        const auto blocks = UploadBlocks(image, TransferSum(image));
        ASSERT_EQ(blocks.size(), c.blocks) << c.n;
        ASSERT_EQ(blocks.back().size(), c.lastBlockSize) << c.n;

        DeviceModel model(UnitConfig::Kestrale('U', {1, 5, 'A'}));
        const UploadRun run = Upload(model, image, TransferSum(image));
        EXPECT_EQ(run.headerAnswer, Bytes{'O'}) << c.n;
        ASSERT_EQ(run.blockAnswers.size(), c.blocks);
        for (const Bytes& a : run.blockAnswers) EXPECT_EQ(a, Bytes{'O'}) << c.n;
        EXPECT_EQ(run.afterLastBlock, Bytes{'O'}) << c.n;
        EXPECT_EQ(model.ReceivedImage(), image) << c.n;
        EXPECT_EQ(model.Stats().uploadsProgrammed, 1) << c.n;
        EXPECT_EQ(model.Exchange({'V', 'V'}), (Bytes{1, 6, 'A'})) << c.n;
    }
}

TEST(SimModelUpload, OneByteImagePassesOnlyWhenItIsZero) {
    DeviceModel model(UnitConfig::Kestrale());
    EXPECT_EQ(Upload(model, {0x00}, 0x00).afterLastBlock, Bytes{'O'});
    EXPECT_EQ(Upload(model, {0x05}, 0x05).afterLastBlock, Bytes{'I'});
}

TEST(SimModelUpload, FinalStatusTellsWrongTransferSumFromWrongCheckByte) {
    struct Case {
        const char* name;
        size_t n;
        bool breakCheckByte;
        int tDelta;
        uint8_t status;
    };
    const Case cases[] = {
        {"wrong T, short block", 300, false, 1, 'E'},
        {"wrong T, full block", 512, false, -1, 'E'},
        {"wrong check byte", 300, true, 0, 'I'},
        {"wrong check byte, 65536", 65536, true, 0, 'I'},
        {"both wrong: T first", 100, true, 5, 'E'},
    };
    for (const Case& c : cases) {
        Bytes image = GoodImage(c.n);
        if (c.breakCheckByte) image.back() = static_cast<uint8_t>(image.back() + 1);
        const uint8_t t = static_cast<uint8_t>(TransferSum(image) + c.tDelta);
        DeviceModel model(UnitConfig::Kestrale('U', {1, 5, 'A'}));
        const UploadRun run = Upload(model, image, t);
        EXPECT_EQ(run.afterLastBlock, Bytes{c.status}) << c.name;
        EXPECT_EQ(model.ReceivedImage(), image) << c.name << ": received whole all the same";
        EXPECT_EQ(model.Stats().uploadsProgrammed, 0) << c.name;
        EXPECT_EQ(model.Exchange({'V', 'V'}), (Bytes{1, 5, 'A'})) << c.name << ": old firmware";
    }
}

TEST(SimModelUpload, AfterProgrammingTheUnitRestartsAtTheDefaultSpeedUnlessItStaysFast) {
    struct Way {
        const char* unit;
        bool staysFast;
        bool answers;         // the version query after programming
        bool takesSwitchBack;  // the second 'S' of its life
    };
    for (const Way& way : {Way{"gristpell", false, true, true}, Way{"gristpell stays-fast", true, true, true},
                           Way{"gristpell mute-after", false, false, false},
                           Way{"gristpell stays-fast fault=speed:1:byte:?", true, true, false}}) {
        SCOPED_TRACE(way.unit);
        const bool staysFast = way.staysFast;
        UnitConfig unit;
        std::string error;
        ASSERT_TRUE(ParseUnitConfig(way.unit, &unit, &error)) << error;
        DeviceModel model(unit);
        ASSERT_EQ(model.Exchange(SpeedRequest(0)), Bytes{'O'});
        ASSERT_EQ(model.Speed(), 921600);

        const Bytes image = GoodImage(300);
        std::vector<ModelAction> actions;
        const Bytes header = UploadHeader(image.size());
        model.Feed(header.data(), header.size(), &actions);
        const auto blocks = UploadBlocks(image, TransferSum(image));
        for (const Bytes& b : blocks) {
            actions.clear();
            model.Feed(b.data(), b.size(), &actions);
        }
        // The last block's answer and the final status go out at the fast speed first.
        ASSERT_FALSE(actions.empty());
        EXPECT_EQ(actions[0].kind, ModelAction::Kind::Send);
        EXPECT_EQ(actions[0].bytes, (Bytes{'O', 'O'}));
        if (staysFast) {
            EXPECT_EQ(actions.size(), 1u);
            EXPECT_EQ(model.Speed(), 921600);
        } else {
            ASSERT_EQ(actions.size(), 2u);
            EXPECT_EQ(actions[1].kind, ModelAction::Kind::SetSpeed);
            EXPECT_EQ(actions[1].speed, 115200);
            EXPECT_EQ(model.Speed(), 115200);
        }
        EXPECT_EQ(model.Exchange({'V', 'V'}), way.answers ? (Bytes{12, 1, 'F'}) : Bytes{});
        EXPECT_EQ(model.Exchange(SpeedRequest(7)), way.takesSwitchBack ? Bytes{'O'} : way.answers ? Bytes{'?'} : Bytes{});
        EXPECT_EQ(model.Speed(), way.takesSwitchBack || !staysFast ? 115200 : 921600);
    }
}

TEST(SimModelUpload, ByteByByteFeedingGivesTheSameConversation) {
    const Bytes image = GoodImage(700);
    Bytes input = UploadHeader(image.size());
    for (const Bytes& b : UploadBlocks(image, TransferSum(image))) input.insert(input.end(), b.begin(), b.end());
    input.insert(input.end(), {'V', 'V'});

    DeviceModel whole(UnitConfig::Kestrale());
    const Bytes expected = whole.Exchange(input);
    EXPECT_EQ(expected, (Bytes{'O', 'O', 'O', 'O', 'O', 1, 6, 'A'}));

    DeviceModel single(UnitConfig::Kestrale());
    Bytes got;
    for (uint8_t b : input) {
        const Bytes out = single.Exchange({b});
        got.insert(got.end(), out.begin(), out.end());
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(single.ReceivedImage(), image);
}

}  // namespace
