// The speed change against any answer and any driver failure, then the port's release:
// a known code, idle 1, never more than one speed command per call, success only for a
// table code the unit accepted with 'O' (and then the port runs at the new speed), and a
// release that asks the unit back to 115200 whenever it was left at another speed.
#include "wire_script.h"

namespace {

bool IsReturnTo115200(const std::vector<uint8_t>& w) { return w.size() == 3 && w[0] == 'S' && w[1] == SPEED_115200; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    wire.ScriptDriverFailures(kEveryDriverStep, 3);
    wire.AnswerFromInput();
    {
        DeviceLink link;
        WireScript::OpenFirstPort(link);
        const int changes = data.ConsumeIntegralInRange<int>(1, 3);
        for (int c = 0; c < changes; ++c) {
            const SpeedCode code = data.ConsumeIntegralInRange<int32_t>(-1, 9);
            FakeSerial::Get().ClearCalls();
            const size_t answersBefore = wire.Answers().size();
            const ResultCode result = link.ChangeSpeed(code);
            RequireSettled(link, result);
            FUZZ_REQUIRE(SpeedCommandsWritten() <= 1);
            if (SpeedOfCode(code) == 0) FUZZ_REQUIRE(result == RESULT_BAD_ARGUMENT && SpeedCommandsWritten() == 0);
            if (result == RESULT_OK) {
                FUZZ_REQUIRE(link.speedCode == code);
                FUZZ_REQUIRE(wire.Answers().size() > answersBefore);
                if (!PurgeFailed())
                    FUZZ_REQUIRE(!wire.Answers()[answersBefore].empty() && wire.Answers()[answersBefore][0] == 'O');
                if (link.portOpen == 1)
                    FUZZ_REQUIRE(FakeSerial::Get().LineSettings("COM1").baudRate ==
                                 static_cast<uint32_t>(SpeedOfCode(code)));
            }
        }
        const bool away = link.speedCode != SPEED_115200;
        const bool held = link.portHandle != nullptr;
        FakeSerial::Get().ClearCalls();
        link.ClosePort();
        FUZZ_REQUIRE(FakeSerial::Get().OpenHandleCount() == 0 && link.portHandle == nullptr && link.portOpen == 0);
        FUZZ_REQUIRE(link.idle == 1);
        // The release tries the return once when the unit was left elsewhere, never otherwise.
        size_t returns = 0;
        for (const auto& w : FakeSerial::Get().Writes()) returns += IsReturnTo115200(w) ? 1 : 0;
        FUZZ_REQUIRE(returns <= 1);
        FUZZ_REQUIRE(SpeedCommandsWritten() == returns);
        if (!away) FUZZ_REQUIRE(returns == 0);
        if (away && held) FUZZ_REQUIRE(FakeSerial::Get().CountCalls("write 53 07") == 1);
    }
    return 0;
}
