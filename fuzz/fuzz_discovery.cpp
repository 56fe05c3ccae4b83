// Discovery over five ports, any of them missing, against any answers and driver
// failures. The description buffer is exactly the capacity passed, so a write past it
// stops the run; the text is always terminated inside it. The kind is one the
// identification can give, a found unit keeps its port open, and at most one port is held.
#include <cstring>
#include <memory>
#include <string>

#include "wire_script.h"

namespace {

bool IsKindDiscoveryGives(DeviceKind kind) {
    switch (kind) {
    case 0:
    case KIND_KESTRALE:
    case KIND_KESTRALE | KIND_SERIAL:
    case KIND_KESTRALE | KIND_USB:
    case KIND_GRIST_PELL:
    case KIND_TAMBERLIN_I:
    case KIND_TAMBERLIN_II: return true;
    default: return false;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider data(input, size);
    WireScript wire(data);
    const uint8_t present = data.ConsumeIntegral<uint8_t>();
    std::vector<std::string> existing;
    const char* const names[] = {"COM1", "COM2", "COM3", "COM4", "COM5"};
    for (int i = 0; i < 5; ++i)
        if ((present >> i) & 1) existing.push_back(names[i]);
    FakeSerial::Get().SetExistingPorts(existing);
    wire.ScriptDriverFailures(kEveryDriverStep, 3);
    const size_t capacity = data.ConsumeIntegralInRange<size_t>(0, 40);
    const bool withVersion = data.ConsumeBool();
    wire.AnswerFromInput();
    {
        DeviceLink link;
        link.protocolFlags = data.ConsumeIntegralInRange<int32_t>(0, 3);
        std::unique_ptr<char[]> description(capacity > 0 ? new char[capacity] : nullptr);
        if (capacity > 0) std::memset(description.get(), 'x', capacity);
        VersionTriple version{};
        const DeviceKind kind =
            link.DiscoverDevice(description.get(), capacity, withVersion ? &version : nullptr, DefaultPortList());

        FUZZ_REQUIRE(IsKindDiscoveryGives(kind));
        RequireSettled(link, RESULT_OK);
        if (kind != 0) FUZZ_REQUIRE(link.portOpen == 1);
        if (!withVersion) FUZZ_REQUIRE(kind == 0 && FakeSerial::Get().Calls().empty());
        if (capacity > 0 && withVersion) FUZZ_REQUIRE(std::memchr(description.get(), 0, capacity) != nullptr);
        if ((kind & KIND_FLASHABLE_MASK) != 0) FUZZ_REQUIRE((link.protocolFlags & 2) != 0);
        link.ClosePort();
        FUZZ_REQUIRE(FakeSerial::Get().OpenHandleCount() == 0);
    }
    return 0;
}
