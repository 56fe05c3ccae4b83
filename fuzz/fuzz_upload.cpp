// The whole upload against any answer at any step: any byte, silence, a failed read, a
// failed or short write, stray bytes before or after an answer, a cancel before any block, and time-out changes or purges that
// the driver refuses. The result must be the one the shared upload oracle computes for
// the answers played; the progress notifications and the bytes on the wire must fit it;
// idle is 1 and the read time-out back at 300 ms afterwards.
#include <algorithm>
#include <atomic>

#include "image_path.h"
#include "upload_oracle.h"
#include "upload_test_progress.h"
#include "wire_script.h"

namespace {

// The answers of every step, decided from the input before the upload starts. Steps the
// input does not reach answer 'O', as the oracle assumes.
std::vector<StepAnswer> PlanAnswers(FuzzedDataProvider& data, int32_t finalStep) {
    std::vector<StepAnswer> answers;
    for (int32_t step = 0; step <= finalStep && data.remaining_bytes() > 0; ++step) {
        const uint8_t kind = data.ConsumeIntegral<uint8_t>();
        if (kind < 160) answers.push_back(StepAnswer::Of('O'));
        else if (kind < 224) answers.push_back(StepAnswer::Of(data.ConsumeIntegral<uint8_t>()));
        else if (kind < 232) answers.push_back(StepAnswer::Of(StepEvent::Silence));
        else if (kind < 240) answers.push_back(StepAnswer::Of(StepEvent::ReadFails));
        else if (kind < 248) answers.push_back(StepAnswer::Of(StepEvent::WriteFails));
        else answers.push_back(StepAnswer{StepEvent::ShortWrite, data.ConsumeIntegral<uint8_t>()});
    }
    return answers;
}

// Up to three stray bytes, each riding with the answer of a step that answers with a byte.
// None rides into the final status when that step is a read failure, which the driver
// plays at a fixed read and not at whatever byte comes.
std::vector<StrayByte> PlanStrays(FuzzedDataProvider& data, const std::vector<StepAnswer>& answers, int32_t finalStep) {
    std::vector<StrayByte> strays;
    const auto at = [&](int32_t step) {
        return step < static_cast<int32_t>(answers.size()) ? answers[static_cast<size_t>(step)] : StepAnswer::Of('O');
    };
    const uint8_t count = data.remaining_bytes() > 0 ? data.ConsumeIntegralInRange<uint8_t>(0, 3) : 0;
    for (uint8_t k = 0; k < count && data.remaining_bytes() > 0; ++k) {
        StrayByte stray;
        stray.step = data.ConsumeIntegralInRange<int32_t>(0, finalStep);
        stray.place = data.ConsumeBool() ? StrayPlace::Before : StrayPlace::After;
        stray.byte = data.ConsumeIntegral<uint8_t>();
        if (at(stray.step).event != StepEvent::Byte) continue;
        if (stray.step >= finalStep - 1 && at(finalStep).event != StepEvent::Byte) continue;
        strays.push_back(stray);
    }
    return strays;
}

// Plays the unit and the driver step by step from the plan.
class PlannedUnit {
public:
    PlannedUnit(const std::vector<StepAnswer>& answers, const std::vector<StrayByte>& strays, uint32_t imageSize,
                int cancelBeforeBlock, std::atomic<bool>* cancel)
        : answers_(answers), strays_(strays), size_(imageSize), blocks_(UploadBlockCount(imageSize)),
          cancelBeforeBlock_(cancelBeforeBlock), cancel_(cancel) {}

    // Arms what the header's write meets; called before the upload.
    void ArmFirstWrite() { ArmWrite(0); }

    std::vector<uint8_t> Answer() {
        const int32_t step = step_++;
        const StepAnswer a = At(step);
        if (cancelBeforeBlock_ == step) cancel_->store(true);
        ArmWrite(step + 1);
        std::vector<uint8_t> reply;
        if (a.event == StepEvent::ReadFails) FakeSerial::Get().FailNext(FakeSerial::Step::Read);
        if (a.event == StepEvent::Byte) WithStrays(step, a.byte, &reply);
        // The last block's answer is followed by the final status, unless the line fell
        // silent or the read failed already.
        if (step == blocks_ && a.event == StepEvent::Byte) {
            const StepAnswer last = At(step + 1);
            if (last.event == StepEvent::Byte) WithStrays(step + 1, last.byte, &reply);
            if (last.event == StepEvent::WriteFails || last.event == StepEvent::ShortWrite) reply.push_back('O');
            if (last.event == StepEvent::ReadFails) FakeSerial::Get().FailNth(FakeSerial::Step::Read, 2);
        }
        return reply;
    }

private:
    void WithStrays(int32_t step, uint8_t answer, std::vector<uint8_t>* reply) const {
        for (const StrayByte& stray : strays_)
            if (stray.step == step && stray.place == StrayPlace::Before) reply->push_back(stray.byte);
        reply->push_back(answer);
        for (const StrayByte& stray : strays_)
            if (stray.step == step && stray.place == StrayPlace::After) reply->push_back(stray.byte);
    }
    StepAnswer At(int32_t step) const {
        return step < static_cast<int32_t>(answers_.size()) ? answers_[static_cast<size_t>(step)] : StepAnswer::Of('O');
    }
    // The write of `step` (the header or a block) fails or falls short when planned so.
    void ArmWrite(int32_t step) {
        if (step > blocks_) return;
        const StepAnswer a = At(step);
        if (a.event == StepEvent::WriteFails) FakeSerial::Get().FailNext(FakeSerial::Step::Write);
        if (a.event == StepEvent::ShortWrite) FakeSerial::Get().ShortWriteNth(1, a.byte % WriteLength(step));
    }
    uint32_t WriteLength(int32_t step) const {
        if (step == 0) return 4;
        const uint32_t start = static_cast<uint32_t>(step - 1) * 256;
        const uint32_t length = std::min<uint32_t>(256, size_ - start);
        return step == blocks_ ? length + 1 : length;
    }

    const std::vector<StepAnswer>& answers_;
    const std::vector<StrayByte>& strays_;
    uint32_t size_;
    int32_t blocks_;
    int cancelBeforeBlock_;
    std::atomic<bool>* cancel_;
    int32_t step_ = 0;
};

uint64_t PickSize(FuzzedDataProvider& data) {
    const uint8_t choice = data.ConsumeIntegral<uint8_t>();
    if (choice < 248) return data.ConsumeIntegralInRange<uint64_t>(1, 1300);
    const uint64_t edges[] = {0, 1, 256, 257, 65535, 65536, 65537, (uint64_t{1} << 32) + 300};
    return edges[choice - 248];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    const uint64_t imageSize = PickSize(data);
    const bool checkByteValid = data.ConsumeIntegralInRange<uint8_t>(0, 15) != 0;
    const int32_t blocks = UploadBlockCount(imageSize);
    const int cancelBeforeBlock =
        blocks > 0 && data.ConsumeIntegralInRange<uint8_t>(0, 15) == 0 ? data.ConsumeIntegralInRange<int>(0, blocks - 1) : -1;

    std::vector<uint8_t> image;
    if (imageSize >= 1 && imageSize <= 65536) {
        image = MakeValidImage(static_cast<uint32_t>(imageSize), data.ConsumeIntegral<uint8_t>());
        if (!checkByteValid) image.back() = static_cast<uint8_t>(image.back() + 1);
        WriteScratchImage(image);
    } else {
        WriteScratchImage({}, imageSize);
    }
    const std::vector<StepAnswer> answers = PlanAnswers(data, FinalStep(imageSize));
    const std::vector<StrayByte> strays = PlanStrays(data, answers, FinalStep(imageSize));

    UploadScenario scenario;
    scenario.imageSize = imageSize;
    scenario.imageCheckByteValid = checkByteValid;
    scenario.answers = answers;
    scenario.cancelBeforeBlock = cancelBeforeBlock;
    scenario.hangUp = HangUpSeenAs::ReadFailure;
    scenario.strays = strays;
    const UploadExpectation want = ExpectedUpload(scenario);

    std::atomic<bool> cancel{false};
    PlannedUnit unit(answers, strays, static_cast<uint32_t>(std::min<uint64_t>(imageSize, 65536)), cancelBeforeBlock, &cancel);
    {
        DeviceLink link;
        link.cancelRequested = &cancel;
        FUZZ_REQUIRE(WireScript::OpenFirstPort(link));
        link.protocolFlags = 2;
        // Refused time-out changes and purges do not change what the answers mean.
        wire.ScriptDriverFailures({FakeSerial::Step::GetTimeouts, FakeSerial::Step::SetTimeouts, FakeSerial::Step::Purge}, 2);
        FakeSerial::Get().ClearCalls();
        FakeSerial::Get().SetPeer([&unit](const uint8_t*, size_t) { return unit.Answer(); });
        unit.ArmFirstWrite();
        ProgressRecorder progress;

        const ResultCode result = link.UploadFirmware(ScratchImagePath().c_str(), progress.Target());

        if (result != want.result) {
            std::fprintf(stderr, "upload gave %d, the oracle %d (size %llu)\n", result, want.result,
                         static_cast<unsigned long long>(imageSize));
        }
        FUZZ_REQUIRE(result == want.result);
        RequireSettled(link, result);
        // The link's account of the upload tells the same story as the oracle.
        const UploadAccount& account = link.LastUpload();
        FUZZ_REQUIRE(account.result == result);
        FUZZ_REQUIRE(account.strayBytesDiscarded == static_cast<uint32_t>(want.strayDiscarded));
        FUZZ_REQUIRE(account.blocksAnswered == static_cast<uint32_t>(want.blocksAnswered));
        FUZZ_REQUIRE(account.unlistedAnswers == static_cast<uint32_t>(want.unlistedBlockAnswers));
        FUZZ_REQUIRE(account.finalStatusRead == want.finalStatusRead);
        if (want.finalStatusRead) FUZZ_REQUIRE(account.finalStatus == want.finalStatus);
        FUZZ_REQUIRE(progress.Events() ==
                     ProgressRecorder::Expected(want.headerSent, want.progressMaximum, want.progressSteps));
        // On the wire: a prefix of header and blocks; all of it when the unit took the image.
        std::vector<uint8_t> full;
        if (want.headerSent) {
            full = ExpectedHeader(static_cast<uint32_t>(imageSize));
            for (const auto& block : ExpectedBlocks(image)) full.insert(full.end(), block.begin(), block.end());
        }
        const std::vector<uint8_t> sent = FakeSerial::Get().AllWrittenBytes();
        FUZZ_REQUIRE(sent.size() <= full.size() && std::equal(sent.begin(), sent.end(), full.begin()));
        if (result == RESULT_OK) FUZZ_REQUIRE(sent == full);
        FUZZ_REQUIRE(link.portOpen == 1);
        link.ClosePort();
    }
    return 0;
}
