// The hardware information (seven one-byte memory reads) against any answers and driver
// failures: success whenever there is a record to fill (one read's failure does not stop
// the next), a refusal without one, and never more than seven requests.
#include "wire_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    wire.ScriptDriverFailures(kEveryDriverStep, 4);
    wire.AnswerFromInput();
    {
        DeviceLink link;
        WireScript::OpenFirstPort(link);
        link.protocolFlags = data.ConsumeIntegralInRange<int32_t>(0, 3);
        FakeSerial::Get().ClearCalls();
        const bool withRecord = data.ConsumeBool();
        HardwareInfo info{};
        const ResultCode result = link.ReadHardwareInfo(withRecord ? &info : nullptr);
        RequireSettled(link, result);
        FUZZ_REQUIRE(result == (withRecord ? RESULT_OK : RESULT_BAD_ARGUMENT));
        FUZZ_REQUIRE(FakeSerial::Get().Writes().size() <= (withRecord ? 7u : 0u));
        FUZZ_REQUIRE(SpeedCommandsWritten() == 0);
    }
    return 0;
}
