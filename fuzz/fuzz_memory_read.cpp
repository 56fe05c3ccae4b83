// Memory reads in both framings ('H' 'R' for protocol flags 2, 'E' with n zero bytes
// otherwise) against any answer and any driver failure. The buffer is exactly the count
// asked for, so any write past it stops the run under AddressSanitizer. Success only when
// the count of bytes came, did not start with the refusal '?', and their checksum matched.
#include "checksum.h"
#include "wire_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    wire.ScriptDriverFailures(kEveryDriverStep, 3);
    wire.AnswerFromInput();
    {
        DeviceLink link;
        WireScript::OpenFirstPort(link);
        const int reads = data.ConsumeIntegralInRange<int>(1, 3);
        for (int r = 0; r < reads; ++r) {
            link.protocolFlags = data.ConsumeIntegralInRange<int32_t>(0, 3);
            const int32_t count = data.ConsumeIntegralInRange<int32_t>(-2, 258);
            const uint32_t address = data.ConsumeIntegral<uint32_t>();
            const bool hrFraming = link.protocolFlags == 2;
            FakeSerial::Get().ClearCalls();
            const size_t answersBefore = wire.Answers().size();

            std::vector<uint8_t> buffer(count > 0 ? static_cast<size_t>(count) : 0);
            const ResultCode result = link.ReadEEPROM(buffer.empty() ? nullptr : buffer.data(), address, count);
            RequireSettled(link, result);
            FUZZ_REQUIRE(SpeedCommandsWritten() == 0);

            const auto writes = FakeSerial::Get().Writes();
            if (count < 1 || count > 256) FUZZ_REQUIRE(result != RESULT_OK && writes.empty());
            if (!writes.empty()) {
                // The framing the flags choose, with the address's low 16 bits.
                const std::vector<uint8_t>& request = writes.front();
                FUZZ_REQUIRE(request.size() == (hrFraming ? 6u : static_cast<size_t>(count) + 5));
                FUZZ_REQUIRE(request[0] == (hrFraming ? 'H' : 'E'));
                const size_t at = hrFraming ? 3 : 2;
                FUZZ_REQUIRE(request[at] == ((address >> 8) & 0xFF) && request[at + 1] == (address & 0xFF));
                FUZZ_REQUIRE(request.back() == AdditiveChecksum(request.data(), static_cast<int32_t>(request.size() - 1)));
            }
            if (result == RESULT_OK && !PurgeFailed()) {  // else stale input may stand in for the reply
                FUZZ_REQUIRE(wire.Answers().size() == answersBefore + 1);
                const std::vector<uint8_t>& answer = wire.Answers().back();
                const size_t n = static_cast<size_t>(count);
                FUZZ_REQUIRE(answer.size() >= n + 1);
                FUZZ_REQUIRE(std::equal(buffer.begin(), buffer.end(), answer.begin()));
                FUZZ_REQUIRE(answer[0] != '?');
                FUZZ_REQUIRE(answer[n] == AdditiveChecksum(buffer.data(), count));
            }
        }
    }
    return 0;
}
