// The version query against any answer and any driver failure: a known code, idle 1, the
// read time-out back at 300 ms, and success only when three bytes came, which are then
// exactly what the caller gets.
#include "wire_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    wire.ScriptDriverFailures(kEveryDriverStep, 3);
    wire.AnswerFromInput();
    {
        DeviceLink link;
        WireScript::OpenFirstPort(link);
        const int queries = data.ConsumeIntegralInRange<int>(1, 3);
        for (int q = 0; q < queries; ++q) {
            FakeSerial::Get().ClearCalls();
            const size_t answersBefore = wire.Answers().size();
            VersionTriple version{0xEE, 0xEE, 0x11};
            const bool wantVersion = data.ConsumeBool();
            const ResultCode result = link.QueryVersion(wantVersion ? &version : nullptr);
            RequireSettled(link, result);
            if (result == RESULT_OK) {
                FUZZ_REQUIRE(wire.Answers().size() == answersBefore + 1);
                const std::vector<uint8_t>& answer = wire.Answers().back();
                if (!PurgeFailed()) FUZZ_REQUIRE(answer.size() >= 3);
                if (wantVersion && !PurgeFailed()) {
                    FUZZ_REQUIRE(version.major == answer[0] && version.minor == answer[1] &&
                                 static_cast<uint8_t>(version.letter) == answer[2]);
                }
            } else if (wantVersion) {
                // A failed query leaves the caller's record as it was.
                FUZZ_REQUIRE(version.major == 0xEE && version.minor == 0xEE && version.letter == 0x11);
            }
            FUZZ_REQUIRE(SpeedCommandsWritten() == 0);
        }
        link.ClosePort();
        FUZZ_REQUIRE(FakeSerial::Get().OpenHandleCount() == 0);
    }
    return 0;
}
