// Read and write semantics of the POSIX serial layer under the Win32 time-out meanings:
// count reached, interval passed after a byte, total time-out; a hung-up peer fails.
// Bounds are generous: they catch a read that never stops or stops far too early, not
// jitter (the benchmark prints the figures).
#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "serial.h"
#include "serial_posix_pty.h"

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

struct ReadCase {
    const char* label;
    SerialTimeouts timeouts;
    uint32_t asked;
    size_t waiting;  // bytes the peer has sent before the read starts
    uint32_t expectedCount;
    double atLeastMs;
    double belowMs;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.label;
}

class SerialPosixReadTimeouts : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SerialPosixReadTimeouts, StopAtTheRightConditionWithTheCount) {
    const ReadCase& c = GetParam();
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200, c.timeouts);
    ASSERT_NE(port, nullptr);
    peer.Send(std::vector<uint8_t>(c.waiting, 0x5A));
    std::vector<uint8_t> buffer(c.asked);
    uint32_t received = kMaxDword;
    bool ok = false;
    double ms = MillisecondsOf([&] { ok = SerialRead(port, buffer.data(), c.asked, &received); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(received, c.expectedCount);
    EXPECT_GE(ms, c.atLeastMs);
    EXPECT_LT(ms, c.belowMs);
    SerialClose(port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPosixReadTimeouts,
    ::testing::Values(
        // All asked bytes are there: no waiting at all.
        ReadCase{"count_already_there", {25, 0, 300, 0, 110}, 8, 8, 8, 0, 200},
        // Silence: the total time-out, counted from the start of the read.
        ReadCase{"silent_300ms", {25, 0, 300, 0, 110}, 16, 0, 0, 250, 3000},
        ReadCase{"silent_110ms", {25, 0, 110, 0, 110}, 16, 0, 0, 100, 3000},
        // Some bytes, then silence: the interval ends the read long before the total.
        ReadCase{"interval_stop", {25, 0, 2000, 0, 110}, 64, 5, 5, 20, 1000},
        // No interval time-out: the few bytes wait for the total.
        ReadCase{"interval_unused", {0, 0, 300, 0, 110}, 64, 5, 5, 250, 3000},
        // The multiplier counts per byte asked: 10 * 20 + 100 = 300 ms.
        ReadCase{"total_with_multiplier", {0, 10, 100, 0, 110}, 20, 0, 0, 250, 3000},
        // A total too long to count still leaves the interval in charge.
        ReadCase{"huge_total_still_stops_at_interval", {25, kMaxDword, kMaxDword, 0, 110}, 4096, 5, 5, 20, 1000},
        // Win32's "return at once with what is there".
        ReadCase{"maxdword_interval_returns_at_once", {kMaxDword, 0, 0, 0, 110}, 16, 3, 3, 0, 200},
        ReadCase{"maxdword_interval_silent", {kMaxDword, 0, 0, 0, 110}, 16, 0, 0, 0, 200},
        // Win32's "wait for the first bytes up to the constant, then return them".
        ReadCase{"first_bytes_returned", {kMaxDword, kMaxDword, 1000, 0, 110}, 16, 3, 3, 0, 500}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// Silence before the first byte is not an interval: only the total time-out bounds it.
TEST(SerialPosixRead, IntervalCountsOnlyOnceAByteHasCome) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200, SerialTimeouts{25, 0, 3000, 0, 110});
    ASSERT_NE(port, nullptr);
    // The stimulus is the silence itself: the peer answers 150 ms after the read began.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        peer.Send({1, 2, 3, 4});
    });
    uint8_t buffer[32];
    uint32_t received = 0;
    bool ok = false;
    double ms = MillisecondsOf([&] { ok = SerialRead(port, buffer, sizeof buffer, &received); });
    late.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(received, 4u);
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 2500);
    SerialClose(port);
}

TEST(SerialPosixRead, HungUpPeerFailsTheReadWithinTheTimeout) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200, SerialTimeouts{25, 0, 2000, 0, 110});
    ASSERT_NE(port, nullptr);
    peer.HangUp();
    uint8_t buffer[8];
    uint32_t received = 0;
    bool ok = true;
    double ms = MillisecondsOf([&] { ok = SerialRead(port, buffer, sizeof buffer, &received); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(SerialLastError(), static_cast<uint32_t>(EIO));
    EXPECT_LT(ms, 2500);
    uint32_t written = 0;
    EXPECT_FALSE(SerialWrite(port, buffer, 1, &written));
    SerialClose(port);
}

TEST(SerialPosixRead, PeerHangingUpDuringAReadWakesItAsAFailure) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200, SerialTimeouts{0, 0, 5000, 0, 110});
    ASSERT_NE(port, nullptr);
    std::thread hangUp([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.HangUp();
    });
    uint8_t buffer[8];
    uint32_t received = 0;
    bool ok = true;
    double ms = MillisecondsOf([&] { ok = SerialRead(port, buffer, sizeof buffer, &received); });
    hangUp.join();
    EXPECT_FALSE(ok);
    EXPECT_LT(ms, 4000) << "the read waited for its time-out instead of seeing the hang-up";
    SerialClose(port);
}

TEST(SerialPosixPurge, DiscardsInputThatWasWaiting) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath());
    ASSERT_NE(port, nullptr);
    peer.Send({'s', 't', 'a', 'l', 'e', ' ', 'r', 'e', 'p', 'l', 'y'});
    uint8_t first = 0;
    uint32_t received = 0;
    // One byte in hand means the whole write has reached the port's input.
    ASSERT_TRUE(SerialRead(port, &first, 1, &received));
    ASSERT_EQ(received, 1u);
    ASSERT_TRUE(SerialPurge(port));
    uint8_t rest[16];
    ASSERT_TRUE(SerialRead(port, rest, sizeof rest, &received));
    EXPECT_EQ(received, 0u);
    // The port still works after a purge.
    peer.Send({'O'});
    ASSERT_TRUE(SerialRead(port, rest, 1, &received));
    ASSERT_EQ(received, 1u);
    EXPECT_EQ(rest[0], 'O');
    SerialClose(port);
}

TEST(SerialPosixWrite, PeerThatNeverReadsEndsTheWriteAtItsTimeoutWithAShortCount) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath());
    ASSERT_NE(port, nullptr);
    std::vector<uint8_t> flood(4 * 1024 * 1024, 0x55);
    uint32_t written = 0;
    bool ok = false;
    double ms = MillisecondsOf([&] {
        ok = SerialWrite(port, flood.data(), static_cast<uint32_t>(flood.size()), &written);
    });
    EXPECT_TRUE(ok);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, flood.size());
    EXPECT_GE(ms, 100);
    EXPECT_LT(ms, 3000);
    SerialClose(port);
}

}  // namespace
