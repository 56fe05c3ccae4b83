// The upload over the scripted fake serial layer: exact bytes on the wire, progress, the
// answer table at every step, the early refusals and cancel. In-process and fast: a
// silent unit costs no time here.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device_link.h"
#include "device_model.h"
#include "image_file.h"
#include "serial_fake.h"
#include "upload_oracle.h"
#include "upload_test_files.h"
#include "upload_test_progress.h"

namespace {

// The emulator's model as the unit, with the answers turned into its fault plan. Driver
// faults (failed reads and writes) are the fake serial layer's; a hang-up makes the read
// that finds no more bytes fail, as a hung-up line does on POSIX.
UnitConfig UnitPlaying(const std::vector<StepAnswer>& answers, int32_t finalStep) {
    UnitConfig config = UnitConfig::Kestrale('U');
    for (size_t k = 0; k < answers.size(); ++k) {
        const int32_t step = static_cast<int32_t>(k);
        Fault fault;
        fault.step = step == 0 ? FaultStep::UploadHeader : step == finalStep ? FaultStep::UploadFinal : FaultStep::UploadBlock;
        fault.index = fault.step == FaultStep::UploadBlock ? step - 1 : -1;
        switch (answers[k].event) {
        case StepEvent::Byte: fault.action = FaultAction::AnswerByte; fault.byte = answers[k].byte; break;
        case StepEvent::Silence: fault.action = FaultAction::Silence; break;
        case StepEvent::HangUp: fault.action = FaultAction::HangUp; break;
        default: continue;  // played by the driver
        }
        config.faults.push_back(fault);
    }
    return config;
}

FakeSerial::Peer ModelPeer(std::shared_ptr<DeviceModel> model) {
    return [model](const uint8_t* data, size_t n) {
        std::vector<ModelAction> actions;
        model->Feed(data, n, &actions);
        std::vector<uint8_t> reply;
        for (const ModelAction& action : actions) {
            if (action.kind == ModelAction::Kind::Send) reply.insert(reply.end(), action.bytes.begin(), action.bytes.end());
            // What was sent before the hang-up is still read; the read after it fails.
            if (action.kind == ModelAction::Kind::HangUp)
                FakeSerial::Get().FailNth(FakeSerial::Step::Read, static_cast<int>(reply.size()) + 1);
        }
        return reply;
    };
}

class UploadOverFake : public ::testing::Test {
protected:
    void SetUp() override { StartRun(); }

    // A fresh driver (no scripted faults left from an earlier run) and an open port.
    void StartRun() {
        fake.Reset();
        ASSERT_EQ(link.OpenPort("COM1", 115200), RESULT_OK);
        link.protocolFlags = 2;
        fake.ClearCalls();
        progress.Clear();
    }

    // Plays the answers on the wire: bytes and silence through the unit, failed reads and
    // writes through the driver (step k's write and read are the (k+1)th of the upload).
    void PlayAnswers(const std::vector<StepAnswer>& answers, int32_t finalStep) {
        for (size_t k = 0; k < answers.size(); ++k) {
            int nth = static_cast<int>(k) + 1;
            switch (answers[k].event) {
            case StepEvent::ReadFails: fake.FailNth(FakeSerial::Step::Read, nth); break;
            case StepEvent::WriteFails: fake.FailNth(FakeSerial::Step::Write, nth); break;
            case StepEvent::ShortWrite: fake.ShortWriteNth(nth, 3); break;
            default: break;
            }
        }
        model = std::make_shared<DeviceModel>(UnitPlaying(answers, finalStep));
        fake.SetPeer(ModelPeer(model));
    }

    // Runs one upload and checks it against the oracle in every observable respect.
    void ExpectMatchesOracle(const std::string& path, const std::vector<uint8_t>& image,
                             const std::vector<StepAnswer>& answers) {
        StartRun();
        ASSERT_FALSE(HasFatalFailure());
        PlayAnswers(answers, FinalStep(image.size()));
        UploadScenario scenario;
        scenario.imageSize = image.size();
        scenario.answers = answers;
        UploadExpectation want = ExpectedUpload(scenario);

        ResultCode got = link.UploadFirmware(path.c_str(), progress.Target());

        ASSERT_EQ(got, want.result);
        ASSERT_EQ(progress.Events(), ProgressRecorder::Expected(want.headerSent, want.progressMaximum,
                                                                want.progressSteps));
        ASSERT_EQ(fake.CountCalls("write"), want.headerSent ? 1u + static_cast<size_t>(want.blocksSent) : 0u);
        // What went out whole is an exact prefix of the header and the blocks.
        std::vector<std::vector<uint8_t>> expected = {ExpectedHeader(static_cast<uint32_t>(image.size()))};
        for (auto& b : ExpectedBlocks(image)) expected.push_back(b);
        std::vector<std::vector<uint8_t>> writes = fake.Writes();
        ASSERT_LE(writes.size(), expected.size());
        for (size_t i = 0; i < writes.size(); ++i) {
            if (writes[i].size() == expected[i].size()) {
                ASSERT_EQ(writes[i], expected[i]) << "write " << i;
            }
        }
        ASSERT_EQ(link.idle, 1);
        ASSERT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
    }

    FakeSerial& fake = FakeSerial::Get();
    DeviceLink link;
    UploadTestFiles files;
    ProgressRecorder progress;
    std::shared_ptr<DeviceModel> model;
};

// Sizes, headers, block lengths, T and the progress range, written out by hand.
struct WireCase {
    uint32_t size;
    std::vector<uint8_t> header;
    std::vector<size_t> blockLengths;  // as written, T included in the last
    int32_t progressMaximum;
    int32_t progressSteps;
};

TEST_F(UploadOverFake, SendsTheImageByteExact) {
    const WireCase cases[] = {
        {1, {0x66, 0x00, 0x01, 0x67}, {2}, 1, 1},
        {100, {0x66, 0x00, 0x64, 0xCA}, {101}, 1, 1},
        {256, {0x66, 0x01, 0x00, 0x67}, {257}, 2, 1},
        {300, {0x66, 0x01, 0x2C, 0x93}, {256, 45}, 2, 2},
        {512, {0x66, 0x02, 0x00, 0x68}, {256, 257}, 3, 2},
        {65536, {0x66, 0x00, 0x00, 0x66}, {}, 257, 256},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        std::vector<uint8_t> image = MakeValidImage(c.size, c.size);
        std::string path = files.Write("image.enc", image);
        fake.ClearCalls();
        progress.Clear();
        model = std::make_shared<DeviceModel>(UnitConfig::Kestrale('U'));
        fake.SetPeer(ModelPeer(model));
        ASSERT_EQ(link.UploadFirmware(path.c_str(), progress.Target()), RESULT_OK);

        std::vector<std::vector<uint8_t>> writes = fake.Writes();
        ASSERT_FALSE(writes.empty());
        EXPECT_EQ(writes[0], c.header);
        std::vector<size_t> lengths;
        std::vector<uint8_t> sent;
        for (size_t i = 1; i < writes.size(); ++i) {
            lengths.push_back(writes[i].size());
            sent.insert(sent.end(), writes[i].begin(), writes[i].end());
        }
        std::vector<size_t> wantLengths = c.blockLengths;
        if (c.size == 65536) {
            wantLengths.assign(255, 256);
            wantLengths.push_back(257);
        }
        EXPECT_EQ(lengths, wantLengths);
        // The image unchanged, then T: the sum of the whole image, twice its check byte.
        ASSERT_EQ(sent.size(), image.size() + 1);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), sent.begin()));
        EXPECT_EQ(sent.back(), static_cast<uint8_t>(2 * image.back()));
        EXPECT_EQ(model->ReceivedImage(), image);
        EXPECT_EQ(progress.Events(), ProgressRecorder::Expected(true, c.progressMaximum, c.progressSteps));
        // Purge before the header, the transfer time-out, then back to 300 ms.
        std::vector<std::string> calls = fake.Calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[0], "gettimeouts");
        EXPECT_EQ(calls[1], "settimeouts 25 0 6000 0 110");
        EXPECT_EQ(calls[2], "purge");
        EXPECT_EQ(calls.back(), "settimeouts 25 0 300 0 110");
        EXPECT_EQ(link.idle, 1);
    }
}

TEST_F(UploadOverFake, OneByteImageIsHeaderAndTwoZeroBytes) {
    std::string path = files.Write("one.enc", {0x00});
    model = std::make_shared<DeviceModel>(UnitConfig::GristPell());
    fake.SetPeer(ModelPeer(model));
    ASSERT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
    EXPECT_EQ(HexBytes(fake.AllWrittenBytes()), "66 00 01 67 00 00");
    EXPECT_EQ(model->ReceivedImage(), std::vector<uint8_t>{0x00});
}

TEST_F(UploadOverFake, WithoutProgressTheWireIsTheSame) {
    std::vector<uint8_t> image = MakeValidImage(300, 7);
    std::string path = files.Write("image.enc", image);
    model = std::make_shared<DeviceModel>(UnitConfig::Kestrale('U'));
    fake.SetPeer(ModelPeer(model));
    ASSERT_EQ(link.UploadFirmware(path.c_str(), progress.Target()), RESULT_OK);
    std::vector<uint8_t> withProgress = fake.AllWrittenBytes();
    fake.ClearCalls();
    ASSERT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
    EXPECT_EQ(fake.AllWrittenBytes(), withProgress);
}

// The answer table: every step kind (header, first, middle and last block, final status)
// against every byte, silence, and failed reads and writes, judged by the oracle. Two
// shapes: with a short last block, and with a full last block that carries T.
TEST_F(UploadOverFake, AnswerTableAtEveryStep) {
    for (uint32_t size : {600u, 768u}) {
        std::vector<uint8_t> image = MakeValidImage(size, 3);
        std::string path = files.Write("table.enc", image);
        const int32_t finalStep = FinalStep(size);
        ASSERT_EQ(finalStep, 4);
        for (int32_t step = 0; step <= finalStep; ++step) {
            std::vector<StepAnswer> kinds;
            for (int b = 0; b < 256; ++b) kinds.push_back(StepAnswer::Of(static_cast<uint8_t>(b)));
            kinds.push_back(StepAnswer::Of(StepEvent::Silence));
            kinds.push_back(StepAnswer::Of(StepEvent::HangUp));
            kinds.push_back(StepAnswer::Of(StepEvent::ReadFails));
            if (step < finalStep) {  // the final status has no write of its own
                kinds.push_back(StepAnswer::Of(StepEvent::WriteFails));
                kinds.push_back(StepAnswer::Of(StepEvent::ShortWrite));
            }
            for (const StepAnswer& answer : kinds) {
                SCOPED_TRACE("size " + std::to_string(size) + " step " + std::to_string(step) + " event " +
                             std::to_string(static_cast<int>(answer.event)) + " byte " + std::to_string(answer.byte));
                ExpectMatchesOracle(path, image, AnswersWithFault(step, answer));
                if (HasFatalFailure()) return;
            }
        }
    }
}

// The table's own words for a few cells, so that the oracle is not the only judge.
TEST_F(UploadOverFake, AnswerTableLandmarks) {
    struct Landmark {
        int32_t step;  // 0 header, 1..3 blocks, 4 final (600-byte image)
        StepAnswer answer;
        ResultCode result;
    };
    const Landmark landmarks[] = {
        {0, StepAnswer::Of('?'), RESULT_BAD_RESPONSE},
        {0, StepAnswer::Of('C'), RESULT_BAD_RESPONSE},
        {0, StepAnswer::Of(StepEvent::Silence), RESULT_BAD_RESPONSE},
        {1, StepAnswer::Of('?'), RESULT_REFUSED},
        {2, StepAnswer::Of('R'), RESULT_BUFFERING_FAILED},
        {3, StepAnswer::Of('E'), RESULT_OK},
        {2, StepAnswer::Of(StepEvent::Silence), RESULT_BAD_RESPONSE},
        {2, StepAnswer::Of(StepEvent::ShortWrite), RESULT_WRITE_FAILED},
        {1, StepAnswer::Of(StepEvent::ReadFails), RESULT_READ_FAILED},
        {4, StepAnswer::Of('C'), RESULT_OK},
        {4, StepAnswer::Of('?'), RESULT_REFUSED},
        {4, StepAnswer::Of('R'), RESULT_BUFFERING_FAILED},
        {4, StepAnswer::Of('E'), RESULT_EXT_CHECKSUM},
        {4, StepAnswer::Of('F'), RESULT_BAD_RESPONSE},
        {4, StepAnswer::Of('I'), RESULT_INT_CHECKSUM},
        {4, StepAnswer::Of('W'), RESULT_FLASH_FAILED},
        {4, StepAnswer::Of(0x00), RESULT_OK},
        {4, StepAnswer::Of('X'), RESULT_OK},
        {4, StepAnswer::Of(StepEvent::Silence), RESULT_BAD_RESPONSE},
        {4, StepAnswer::Of(StepEvent::ReadFails), RESULT_READ_FAILED},
    };
    std::vector<uint8_t> image = MakeValidImage(600, 5);
    std::string path = files.Write("landmark.enc", image);
    for (const Landmark& l : landmarks) {
        SCOPED_TRACE("step " + std::to_string(l.step) + " byte " + std::to_string(l.answer.byte));
        StartRun();
        PlayAnswers(AnswersWithFault(l.step, l.answer), FinalStep(600));
        EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), l.result);
    }
}

// A block answered with anything but 'O' goes on without stepping the bar.
TEST_F(UploadOverFake, UnlistedBlockAnswersGoOnWithoutAStep) {
    std::vector<uint8_t> image = MakeValidImage(600, 9);
    std::string path = files.Write("image.enc", image);
    PlayAnswers({StepAnswer::Of('O'), StepAnswer::Of('C'), StepAnswer::Of('E'), StepAnswer::Of('O'), StepAnswer::Of('O')},
                FinalStep(600));
    EXPECT_EQ(link.UploadFirmware(path.c_str(), progress.Target()), RESULT_OK);
    EXPECT_EQ(progress.Events(), ProgressRecorder::Expected(true, 3, 1));
    EXPECT_EQ(fake.CountCalls("write"), 4u);
}

TEST_F(UploadOverFake, CancelStopsBetweenBlocks) {
    std::vector<uint8_t> image = MakeValidImage(1000, 11);  // 4 blocks
    std::string path = files.Write("image.enc", image);
    std::atomic<bool> cancel{false};
    link.cancelRequested = &cancel;
    int writes = 0;
    fake.SetPeer([&](const uint8_t*, size_t) {
        if (++writes == 3) cancel = true;  // raised while block 1 is answered
        return std::vector<uint8_t>{'O'};
    });
    ResultCode got = link.UploadFirmware(path.c_str(), progress.Target());

    UploadScenario scenario;
    scenario.imageSize = image.size();
    scenario.cancelBeforeBlock = 2;
    UploadExpectation want = ExpectedUpload(scenario);
    EXPECT_EQ(got, RESULT_FAILED);
    EXPECT_EQ(got, want.result);
    EXPECT_EQ(fake.CountCalls("write"), 3u);  // header, blocks 0 and 1
    EXPECT_EQ(progress.Events(), ProgressRecorder::Expected(true, want.progressMaximum, 2));
    EXPECT_EQ(link.idle, 1);
    EXPECT_EQ(fake.Timeouts("COM1").readTotalTimeoutConstant, 300u);
    // Raised before the upload: not a byte goes out after the header's answer.
    fake.ClearCalls();
    ASSERT_TRUE(cancel);
    EXPECT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_FAILED);
    EXPECT_EQ(fake.CountCalls("write"), 1u);
    link.cancelRequested = nullptr;
}

}  // namespace
