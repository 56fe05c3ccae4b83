#include "wire_script.h"

#include <cstring>
#include <string>

WireScript::WireScript(FuzzedDataProvider& data) : data_(data) { FakeSerial::Get().Reset(); }

void WireScript::ScriptDriverFailures(const std::vector<FakeSerial::Step>& steps, int most) {
    const int count = data_.ConsumeIntegralInRange<int>(0, most);
    for (int i = 0; i < count && !steps.empty(); ++i) {
        const FakeSerial::Step step = steps[data_.ConsumeIntegralInRange<size_t>(0, steps.size() - 1)];
        FakeSerial::Get().FailNth(step, data_.ConsumeIntegralInRange<int>(1, 12));
    }
}

std::vector<uint8_t> WireScript::NextAnswer() {
    // Mostly short answers (the replies the link expects are 1 to 3 bytes), sometimes long
    // ones (memory reads of up to 256 bytes and their checksum, or floods).
    const uint8_t shape = data_.ConsumeIntegral<uint8_t>();
    const size_t length = shape < 224 ? shape % 5 : data_.ConsumeIntegralInRange<size_t>(0, 300);
    return data_.ConsumeBytes<uint8_t>(length);
}

void WireScript::AnswerFromInput() {
    FakeSerial::Get().SetPeer([this](const uint8_t*, size_t) {
        answers_.push_back(NextAnswer());
        return answers_.back();
    });
}

bool WireScript::OpenFirstPort(DeviceLink& link) { return link.OpenPort("COM1", 115200) == RESULT_OK; }

namespace {

// The read total time-out (third number) written by the last "settimeouts" call, or -1
// when there was none or the last time-out change could not be made (its get or set
// failed in the driver).
long LastWrittenReadTimeout() {
    const std::vector<std::string> calls = FakeSerial::Get().Calls();
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (it->rfind("gettimeouts", 0) == 0 && it->find("-> fail") != std::string::npos) return -1;
        if (it->rfind("settimeouts ", 0) != 0) continue;
        if (it->find("-> fail") != std::string::npos) return -1;
        unsigned interval = 0, multiplier = 0, constant = 0;
        if (std::sscanf(it->c_str(), "settimeouts %u %u %u", &interval, &multiplier, &constant) != 3) return -2;
        return static_cast<long>(constant);
    }
    return -1;
}

}  // namespace

void RequireSettled(const DeviceLink& link, ResultCode result) {
    FUZZ_REQUIRE(IsKnownResultCode(result));
    FUZZ_REQUIRE(link.idle == 1);
    FUZZ_REQUIRE(link.portOpen == 0 || link.portHandle != nullptr);
    FUZZ_REQUIRE(FakeSerial::Get().OpenHandleCount() <= (link.portHandle != nullptr ? 1 : 0));
    FUZZ_REQUIRE(SpeedOfCode(link.speedCode) != 0);
    FUZZ_REQUIRE(std::memchr(link.portName, 0, sizeof link.portName) != nullptr);
    const long timeout = LastWrittenReadTimeout();
    FUZZ_REQUIRE(timeout == -1 || timeout == 300);
}

size_t SpeedCommandsWritten() {
    size_t count = 0;
    for (const auto& w : FakeSerial::Get().Writes())
        if (w.size() == 3 && w[0] == 'S' && static_cast<uint8_t>(w[0] + w[1]) == w[2]) ++count;
    return count;
}

bool PurgeFailed() { return FakeSerial::Get().CountCalls("purge -> fail") > 0; }
