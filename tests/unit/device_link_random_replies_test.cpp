// The link against a unit that answers at random, with driver steps failing at random:
// whatever comes back, every operation returns a known code, leaves idle at 1, keeps the
// port states consistent, stays inside the caller's buffer (checked by the sanitizer
// build), and never puts more than one speed command on the wire per call.
#include <random>

#include "device_link_fixture.h"

namespace {

constexpr FakeSerial::Step kSteps[] = {
    FakeSerial::Step::Open,        FakeSerial::Step::SetupQueues, FakeSerial::Step::GetLineSettings,
    FakeSerial::Step::SetLineSettings, FakeSerial::Step::GetTimeouts, FakeSerial::Step::SetTimeouts,
    FakeSerial::Step::Purge,       FakeSerial::Step::Write,       FakeSerial::Step::Read,
};

size_t SpeedCommandsWritten(const FakeSerial& fake) {
    size_t count = 0;
    for (const Bytes& w : fake.Writes()) {
        if (w.size() == 3 && w[0] == 0x53) ++count;
    }
    return count;
}

}  // namespace

TEST_F(FakeLinkTest, RandomRepliesAndDriverFailures) {
    std::mt19937 random(20261209);
    auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    fake.SetPeer([&](const uint8_t*, size_t) {
        Bytes reply(static_cast<size_t>(pick(0, 3) == 0 ? pick(0, 300) : pick(0, 4)));
        for (auto& b : reply) b = static_cast<uint8_t>(pick(0, 3) == 0 ? 'O' : pick(0, 255));
        return reply;
    });

    for (int round = 0; round < 5000; ++round) {
        if (pick(0, 9) == 0) fake.FailNext(kSteps[pick(0, 8)]);
        fake.ClearCalls();
        ResultCode result = RESULT_OK;
        const int operation = pick(0, 7);
        switch (operation) {
            case 0: result = link.OpenPort(pick(0, 4) == 0 ? "COM2" : "COM1", SpeedOfCode(pick(0, 1) ? 7 : 0)); break;
            case 1: link.ClosePort(); break;
            case 2: result = link.ChangeSpeed(pick(-2, 9)); break;
            case 3: result = link.SetReadTimeout(static_cast<uint32_t>(pick(0, 6000))); break;
            case 4: {
                VersionTriple version{};
                result = link.QueryVersion(pick(0, 1) ? &version : nullptr);
                break;
            }
            case 5:
            case 6: {
                link.protocolFlags = pick(0, 3);
                const int32_t count = pick(1, 256);
                Bytes buffer(static_cast<size_t>(count));  // exactly n: an overrun shows under the sanitizer
                result = link.ReadEEPROM(buffer.data(), static_cast<uint32_t>(pick(0, 0x1FFFF)), count);
                break;
            }
            default: {
                HardwareInfo info{};
                result = link.ReadHardwareInfo(&info);
                break;
            }
        }
        SCOPED_TRACE("round " + std::to_string(round) + ", operation " + std::to_string(operation));
        ASSERT_TRUE(IsKnownResultCode(result)) << result;
        ASSERT_EQ(link.idle, 1);
        ASSERT_TRUE(link.portOpen == 0 || link.portHandle != nullptr);
        ASSERT_NE(SpeedOfCode(link.speedCode), 0);
        ASSERT_LE(SpeedCommandsWritten(fake), operation == 6 || operation == 5 || operation == 7 ? 0u : 1u);
        ASSERT_LE(fake.OpenHandleCount(), 1);
        ASSERT_LT(std::strlen(link.portName), sizeof link.portName);
    }
}
