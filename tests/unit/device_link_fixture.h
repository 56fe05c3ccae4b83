// Shared ground of the device-link unit tests: a link on the fake serial layer with a
// log sink that collects lines, and a small scripted unit to answer it.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "checksum.h"
#include "collecting_log.h"
#include "device_link.h"
#include "serial_fake.h"

// Collects every finished log line.
using CollectedLog = CollectingLog;

// A unit that answers the version query, memory reads in both framings (memory byte at
// address a is MemoryByte(a)) and accepts every speed command.
inline uint8_t MemoryByte(uint32_t address) { return static_cast<uint8_t>(address * 7 + 1); }

inline std::vector<uint8_t> AnswerLikeAUnit(const uint8_t* data, size_t n) {
    if (n == 2 && data[0] == 'V' && data[1] == 'V') return {1, 5, 'A'};
    if (n == 3 && data[0] == 'S') return {'O'};
    uint32_t count = 0;
    uint32_t address = 0;
    if (n == 6 && data[0] == 'H' && data[1] == 'R') {
        count = data[2] == 0 ? 256 : data[2];
        address = static_cast<uint32_t>(data[3] << 8 | data[4]);
    } else if (n >= 6 && data[0] == 'E') {
        count = data[1] == 0 ? 256 : data[1];
        address = static_cast<uint32_t>(data[2] << 8 | data[3]);
    } else {
        return {};
    }
    std::vector<uint8_t> reply;
    for (uint32_t i = 0; i < count; ++i) reply.push_back(MemoryByte(address + i));
    reply.push_back(AdditiveChecksum(reply.data(), static_cast<int32_t>(reply.size())));
    return reply;
}

class FakeLinkTest : public ::testing::Test {
protected:
    FakeSerial& fake = FakeSerial::Get();
    CollectedLog log;
    DeviceLink link;

    void SetUp() override {
        fake.Reset();
        log.lines.clear();
        link.logSink = &log.sink;
    }

    // Opens COM1 at 115200 and forgets what that put in the call log and the lines.
    void OpenCleanly(const char* name = "COM1") {
        ASSERT_EQ(link.OpenPort(name, 115200), RESULT_OK);
        fake.ClearCalls();
        log.lines.clear();
    }

    // A link that holds its port unconfigured: the queue set-up was refused.
    void MakeHeld(const char* name = "COM1") {
        fake.FailNext(FakeSerial::Step::SetupQueues);
        ASSERT_EQ(link.OpenPort(name, 115200), RESULT_NOT_OPEN);
        ASSERT_NE(link.portHandle, nullptr);
        fake.ClearCalls();
        log.lines.clear();
    }

    bool IsFree() const { return link.portHandle == nullptr && link.portOpen == 0; }
    bool IsHeld() const { return link.portHandle != nullptr && link.portOpen == 0; }
    bool IsOpen() const { return link.portHandle != nullptr && link.portOpen == 1; }
};

using Lines = std::vector<std::string>;
using Calls = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
