// Ground of the device-link integration tests: a link with a collecting log sink on the
// real serial layer, and emulated units from SimBench on the other end of the line.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "checksum.h"
#include "collecting_log.h"
#include "device_link.h"
#include "sim_bench.h"

using Bytes = std::vector<uint8_t>;

// Under wine a hung-up line reads 0 bytes after the full time-out instead of failing, and
// exclusive opens are not enforced: those tests then only claim "a failure, never success".
#if defined(DEVICE_LINK_TESTS_UNDER_WINE)
constexpr bool kUnderWine = true;
#else
constexpr bool kUnderWine = false;
#endif

using LinkLog = CollectingLog;

// Memory whose byte at address a is (a * 13 + 5) mod 256, with the model letter at 1 and
// the attachment letter at 4 as a unit keeps them.
inline std::vector<uint8_t> PatternMemory(char model, char attachment) {
    std::vector<uint8_t> memory(256);
    for (size_t a = 0; a < memory.size(); ++a) memory[a] = static_cast<uint8_t>(a * 13 + 5);
    memory[1] = static_cast<uint8_t>(model);
    memory[4] = static_cast<uint8_t>(attachment);
    return memory;
}

class BenchLinkTest : public ::testing::Test {
protected:
    static constexpr int kPort = 1;
    SimBench& bench = SimBench::Get();
    LinkLog log;
    DeviceLink link;

    void SetUp() override { link.logSink = &log.sink; }

    std::string Port(int i = kPort) const { return bench.PortName(i); }

    // Puts the unit on the port and opens it at 115200.
    void OpenOn(const UnitConfig& unit, int i = kPort) {
        bench.Configure(i, unit);
        ASSERT_EQ(link.OpenPort(Port(i).c_str(), 115200), RESULT_OK);
        log.lines.clear();
    }

    // What the host sent, once at least `count` bytes arrived (the unit's thread may
    // still be taking them in when an exchange ended without an answer).
    Bytes HostBytesOnceThere(size_t count, int i = kPort) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        Bytes bytes = bench.HostBytes(i);
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            bytes = bench.HostBytes(i);
        }
        return bytes;
    }
};

inline Bytes WithSum(Bytes data) {
    data.push_back(AdditiveChecksum(data.data(), static_cast<int32_t>(data.size())));
    return data;
}
