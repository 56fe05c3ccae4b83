// The upload on a real serial port against an emulated unit: the image the unit received
// byte for byte, and the answer table once per kind of step (header, block, final status)
// for the listed bytes, one unlisted byte, silence and hang-up, and stray bytes after or
// ahead of an answer at each step, judged by the oracle.
// Each silence waits out the 6000 ms answer time-out, so there are only a few.
#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "discovery_upload_bench.h"
#include "upload_oracle.h"
#include "upload_test_files.h"
#include "upload_test_progress.h"

namespace {

#if defined(DRUSEL_HANGUP_READS_AS_SILENCE)
constexpr HangUpSeenAs kHangUp = HangUpSeenAs::Silence;
#else
constexpr HangUpSeenAs kHangUp = HangUpSeenAs::ReadFailure;
#endif

// One step of the answer table on the wire.
struct WireAnswer {
    FaultStep step;
    FaultAction action;
    uint8_t byte;
    int block = 1;  // the block a block fault is on (0-based; 2 is the last)
};

std::string Describe(const WireAnswer& w) {
    const char* step = w.step == FaultStep::UploadHeader ? "header" : w.step == FaultStep::UploadBlock ? "block" : "final";
    const char* action = w.action == FaultAction::AnswerByte    ? "byte"
                         : w.action == FaultAction::Silence     ? "silence"
                         : w.action == FaultAction::ExtraAfter  ? "extra"
                         : w.action == FaultAction::ExtraBefore ? "early"
                                                                : "hangup";
    // Appended piece by piece: GCC 12 misreads "literal" + std::string&& as overlapping.
    std::string text = step;
    if (w.step == FaultStep::UploadBlock) text.append(" ").append(std::to_string(w.block));
    return text.append(" ").append(action).append(" ").append(std::to_string(w.byte));
}

class UploadOnPort : public BenchTest {
protected:
    // Puts the unit on the first port and finds it, so the upload runs as the programs run it.
    void FindUnit(const UnitConfig& config) {
        bench.Configure(1, config);
        VersionTriple version{};
        ASSERT_NE(link.DiscoverDevice(nullptr, 0, &version, Ports()) & KIND_FLASHABLE_MASK, 0);
    }

    // Plays one answer on the wire and checks the upload against the oracle.
    void PlayAnswer(const WireAnswer& w);

    UploadTestFiles files;
    ProgressRecorder progress;
};

TEST_F(UploadOnPort, UnitReceivesTheImageByteForByte) {
    for (uint32_t size : {1u, 300u, 512u, 65536u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        FindUnit(UnitConfig::Kestrale('U'));
        std::vector<uint8_t> image = MakeValidImage(size, size + 1);
        std::string path = files.Write("image.enc", image);
        std::vector<uint8_t> before = bench.HostBytes(1);

        ASSERT_EQ(link.UploadFirmware(path.c_str(), progress.Target()), RESULT_OK);

        EXPECT_EQ(bench.ReceivedImage(1), image);
        // On the wire: the header, the image, T, and nothing else.
        std::vector<uint8_t> wire = bench.HostBytes(1);
        wire.erase(wire.begin(), wire.begin() + static_cast<std::ptrdiff_t>(before.size()));
        std::vector<uint8_t> expected = ExpectedHeader(size);
        for (const auto& block : ExpectedBlocks(image)) expected.insert(expected.end(), block.begin(), block.end());
        EXPECT_EQ(wire, expected);
        EXPECT_EQ(link.idle, 1);
        progress.Clear();
        link.ClosePort();
    }
}

TEST_F(UploadOnPort, UnitReportsItsNewVersionAfterASuccess) {
    UnitConfig config = UnitConfig::GristPell({12, 0, 'F'});
    config.versionAfterUpload = {12, 1, 'F'};
    FindUnit(config);
    std::string path = files.Write("image.enc", MakeValidImage(700));
    ASSERT_EQ(link.UploadFirmware(path.c_str(), nullptr), RESULT_OK);
    VersionTriple version{};
    char description[64] = "";
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, Ports()), KIND_GRIST_PELL);
    EXPECT_STREQ(description, "Grist & Pell v12.1.F");
}

// Plays one answer at one step of a 600-byte upload: header (step 0), blocks 0..2
// (steps 1..3, the fault on the middle one), final status (step 4).
void UploadOnPort::PlayAnswer(const WireAnswer& w) {
    SCOPED_TRACE(Describe(w));
    link.ClosePort();
    progress.Clear();
    UnitConfig config = UnitConfig::Kestrale('U');
    Fault fault;
    fault.step = w.step;
    fault.index = w.step == FaultStep::UploadBlock ? w.block : -1;
    fault.action = w.action;
    fault.byte = w.byte;
    config.faults.push_back(fault);
    FindUnit(config);
    std::vector<uint8_t> image = MakeValidImage(600, 4);
    std::string path = files.Write("image.enc", image);

    ResultCode got = link.UploadFirmware(path.c_str(), progress.Target());

    const int32_t step = w.step == FaultStep::UploadHeader  ? 0
                         : w.step == FaultStep::UploadBlock ? 1 + w.block
                                                            : FinalStep(600);
    const bool stray = w.action == FaultAction::ExtraAfter || w.action == FaultAction::ExtraBefore;
    StepAnswer answer = w.action == FaultAction::AnswerByte ? StepAnswer::Of(w.byte)
                        : stray                             ? StepAnswer::Of('O')
                        : w.action == FaultAction::Silence  ? StepAnswer::Of(StepEvent::Silence)
                                                            : StepAnswer::Of(StepEvent::HangUp);
    UploadScenario scenario;
    scenario.imageSize = image.size();
    scenario.answers = AnswersWithFault(step, answer);
    if (stray)
        scenario.strays.push_back(
            {step, w.action == FaultAction::ExtraBefore ? StrayPlace::Before : StrayPlace::After, w.byte});
    scenario.hangUp = kHangUp;
    UploadExpectation want = ExpectedUpload(scenario);

    if (kHangUp == HangUpSeenAs::Silence && w.action == FaultAction::HangUp && got != want.result) {
        // Under wine a read already waiting when the line drops runs out empty, but one
        // started after the drop fails: either is a failure, never success.
        scenario.hangUp = HangUpSeenAs::ReadFailure;
        want = ExpectedUpload(scenario);
    }
    EXPECT_EQ(got, want.result);
    const UploadAccount& account = link.LastUpload();
    EXPECT_EQ(account.strayBytesDiscarded, static_cast<uint32_t>(want.strayDiscarded));
    EXPECT_EQ(account.unlistedAnswers, static_cast<uint32_t>(want.unlistedBlockAnswers));
    if (w.action != FaultAction::HangUp) {
        EXPECT_EQ(account.blocksAnswered, static_cast<uint32_t>(want.blocksAnswered));
        EXPECT_EQ(account.finalStatusRead, want.finalStatusRead);
        if (want.finalStatusRead) {
            EXPECT_EQ(account.finalStatus, want.finalStatus);
        }
    }
    std::vector<ProgressRecord> wantEvents =
        ProgressRecorder::Expected(true, want.progressMaximum, want.progressSteps);
    if (w.action == FaultAction::HangUp && w.step == FaultStep::UploadFinal && progress.Events() != wantEvents) {
        // The unit answers the last block and drops the line at once; a pseudo-terminal
        // may discard that answer with the line, so the read of the block fails instead of
        // the final one: the same result, one step fewer.
        wantEvents = ProgressRecorder::Expected(true, want.progressMaximum, want.progressSteps - 1);
    }
    EXPECT_EQ(progress.Events(), wantEvents);
    EXPECT_EQ(link.idle, 1);
    // What reached the unit: the discovery, the header and the blocks the oracle says were sent.
    size_t wantBytes = 4;
    std::vector<std::vector<uint8_t>> blocks = ExpectedBlocks(image);
    for (int32_t i = 0; i < want.blocksSent; ++i) wantBytes += blocks[static_cast<size_t>(i)].size();
    EXPECT_EQ(bench.HostBytes(1).size(), 2u + 7u * 6u + wantBytes);
}

// Every listed byte and one unlisted ('X') at each kind of step, one test per step kind.
TEST_F(UploadOnPort, AnswerTableBytesAtEachStep) {
    const uint8_t listed[] = {'O', 'C', '?', 'R', 'E', 'F', 'I', 'W', 'X'};
    for (FaultStep step : {FaultStep::UploadHeader, FaultStep::UploadBlock, FaultStep::UploadFinal})
        for (uint8_t b : listed) PlayAnswer({step, FaultAction::AnswerByte, b});
}

// A stray byte right after the answer, and one just ahead of it, at the header, a middle
// block, the last block and the final status: a listed failure, the normal answer, an
// unlisted byte. After a middle answer it is discarded (a '?' or 'R' ends the upload
// there); ahead of an answer it is read as that answer; around the last block it takes
// the final status's place.
TEST_F(UploadOnPort, StrayBytesAtEachStep) {
    const uint8_t strays[] = {'?', 'R', 'W', 'O', 0x00};
    const WireAnswer places[] = {{FaultStep::UploadHeader, FaultAction::ExtraAfter, 0},
                                 {FaultStep::UploadHeader, FaultAction::ExtraBefore, 0},
                                 {FaultStep::UploadBlock, FaultAction::ExtraAfter, 0, 1},
                                 {FaultStep::UploadBlock, FaultAction::ExtraBefore, 0, 1},
                                 {FaultStep::UploadBlock, FaultAction::ExtraAfter, 0, 2},
                                 {FaultStep::UploadBlock, FaultAction::ExtraBefore, 0, 2},
                                 {FaultStep::UploadFinal, FaultAction::ExtraBefore, 0}};
    for (WireAnswer place : places)
        for (uint8_t b : strays) {
            place.byte = b;
            PlayAnswer(place);
        }
}

// Silence and hang-up once per kind of step; each silence waits out the 6000 ms, so each
// is a test of its own and they can run side by side.
class UploadLineFaultOnPort : public UploadOnPort, public ::testing::WithParamInterface<WireAnswer> {};

void PrintTo(const WireAnswer& w, std::ostream* os) { *os << Describe(w); }

TEST_P(UploadLineFaultOnPort, EndsAsTheAnswerTableSays) { PlayAnswer(GetParam()); }

std::vector<WireAnswer> LineFaults() {
    std::vector<WireAnswer> plays;
    for (FaultStep step : {FaultStep::UploadHeader, FaultStep::UploadBlock, FaultStep::UploadFinal})
        for (FaultAction action : {FaultAction::Silence, FaultAction::HangUp}) plays.push_back({step, action, 0});
    return plays;
}

INSTANTIATE_TEST_SUITE_P(LineFaults, UploadLineFaultOnPort, ::testing::ValuesIn(LineFaults()),
                         [](const ::testing::TestParamInfo<WireAnswer>& p) {
                             std::string name = Describe(p.param);
                             name.resize(name.rfind(' '));
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST_F(UploadOnPort, RefusedImageSendsNothing) {
    FindUnit(UnitConfig::Kestrale('U'));
    std::vector<uint8_t> image = MakeValidImage(300);
    image.back() = static_cast<uint8_t>(image.back() ^ 0x5A);
    std::string path = files.Write("bad.enc", image);
    size_t before = bench.HostBytes(1).size();
    EXPECT_EQ(link.UploadFirmware(path.c_str(), progress.Target()), RESULT_BAD_IMAGE);
    EXPECT_EQ(bench.HostBytes(1).size(), before);
    EXPECT_EQ(progress.Events(), ProgressRecorder::Expected(false, 0, 0));
}

}  // namespace
