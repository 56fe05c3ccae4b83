// The emulator on a real pseudo-terminal, seen from a host that uses nothing but open,
// termios, write and poll: answers, the speed check, hang-ups, pacing and the bench.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "pty_host.h"
#include "sim_bench.h"
#include "sim_host_port.h"

namespace {

using sim_test::Bytes;
using sim_test::HostPort;
using Clock = std::chrono::steady_clock;

// Short link paths, as the device link wants them.
class PtyHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dsXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        link_ = dir_ + "/p1";
    }
    void TearDown() override { rmdir(dir_.c_str()); }

    std::unique_ptr<PtyHost> StartUnit(const UnitConfig& config) {
        auto host = std::make_unique<PtyHost>(config, link_);
        std::string error;
        EXPECT_TRUE(host->Start(&error)) << error;
        return host;
    }

    std::string dir_;
    std::string link_;
};

TEST_F(PtyHostTest, AnswersTheVersionQueryAndTracesBothWays) {
    auto unit = StartUnit(UnitConfig::Kestrale('U', {1, 5, 'A'}));
    HostPort host(link_, 115200);
    ASSERT_TRUE(host.ok());
    host.Write({'V', 'V'});
    EXPECT_EQ(host.Read(3, 2000), (Bytes{1, 5, 'A'}));
    EXPECT_EQ(unit->HostBytes(), (Bytes{'V', 'V'}));
    Bytes fromUnit;
    for (const TraceRecord& r : unit->Trace()) {
        if (r.kind == TraceRecord::Kind::FromUnit) fromUnit.insert(fromUnit.end(), r.bytes.begin(), r.bytes.end());
    }
    EXPECT_EQ(fromUnit, (Bytes{1, 5, 'A'}));
}

TEST_F(PtyHostTest, HostAtAnotherSpeedIsGarbageAndGetsNoAnswer) {
    auto unit = StartUnit(UnitConfig::Kestrale());
    HostPort host(link_, 230400);
    ASSERT_TRUE(host.ok());
    host.Write({'V', 'V'});
    EXPECT_TRUE(host.Read(3, 300).empty());
    EXPECT_EQ(unit->GarbageBytes(), 2u);
    host.SetSpeed(115200);
    host.Write({'V', 'V'});
    EXPECT_EQ(host.Read(3, 2000), (Bytes{1, 5, 'A'}));
}

TEST_F(PtyHostTest, SpeedChangeAnswersAtTheOldSpeedThenListensAtTheNew) {
    auto unit = StartUnit(UnitConfig::GristPell());
    HostPort host(link_, 115200);
    ASSERT_TRUE(host.ok());
    host.Write({'S', 0x00, 0x53});
    EXPECT_EQ(host.Read(1, 2000), Bytes{'O'});
    EXPECT_EQ(unit->UnitSpeed(), 921600);
    host.Write({'V', 'V'});  // a host that did not switch
    EXPECT_TRUE(host.Read(3, 300).empty());
    host.SetSpeed(921600);
    host.Write({'V', 'V'});
    EXPECT_EQ(host.Read(3, 2000), (Bytes{12, 0, 'F'}));
    EXPECT_EQ(unit->Stats().speedCommands, 1);
}

TEST_F(PtyHostTest, HangUpClosesTheLineAndTheLink) {
    UnitConfig config = UnitConfig::Kestrale();
    config.faults = {{FaultStep::Version, -1, FaultAction::HangUp, 0, 0}};
    auto unit = StartUnit(config);
    HostPort host(link_, 115200);
    ASSERT_TRUE(host.ok());
    host.Write({'V', 'V'});
    pollfd p{host.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & POLLHUP);
    uint8_t b = 0;
    EXPECT_LE(read(host.fd(), &b, 1), 0);
    EXPECT_TRUE(unit->HungUp());
    EXPECT_LT(open(link_.c_str(), O_RDWR | O_NOCTTY), 0) << "the port is gone";
    unit->Stop();
    EXPECT_LT(access(link_.c_str(), F_OK), 0) << "the link is removed";
}

TEST_F(PtyHostTest, PacingTakesAtLeastTheWireTime) {
    UnitConfig config = UnitConfig::Kestrale();
    config.paced = true;
    auto unit = StartUnit(config);
    HostPort host(link_, 115200);
    ASSERT_TRUE(host.ok());
    // 6 request bytes and 257 reply bytes at 115200 bit/s, 10 bits each: 22.8 ms on the wire.
    const Bytes request{'H', 'R', 0x00, 0x00, 0x00, static_cast<uint8_t>('H' + 'R')};
    const auto start = Clock::now();
    host.Write(request);
    const Bytes reply = host.Read(257, 2000);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_EQ(reply.size(), 257u);
    EXPECT_GE(ms, 263 * 10 * 1000.0 / 115200);
    EXPECT_LT(ms, 5000) << "hang guard only";
}

TEST_F(PtyHostTest, KnowsWhenAnotherDescriptorHoldsThePort) {
    auto unit = StartUnit(UnitConfig::Kestrale());
    EXPECT_FALSE(unit->HeldByOthers());
    {
        HostPort host(link_, 115200);
        ASSERT_TRUE(host.ok());
        EXPECT_TRUE(unit->HeldByOthers());
    }
    EXPECT_FALSE(unit->HeldByOthers());
}

TEST_F(PtyHostTest, RestartReplacesAStaleLink) {
    ASSERT_EQ(symlink("/nonexistent/pts", link_.c_str()), 0);
    auto unit = StartUnit(UnitConfig::TamberlinI());
    HostPort host(link_, 115200);
    ASSERT_TRUE(host.ok());
    host.Write({'V', 'V'});
    EXPECT_EQ(host.Read(3, 2000), (Bytes{2, 3, '1'}));
}

TEST(SimBenchLocal, PortsAreShortLinksThatFollowTheirConfiguration) {
    SimBench& bench = SimBench::Get();
    ASSERT_EQ(bench.PortCount(), 5);
    for (int i = 1; i <= bench.PortCount(); ++i) {
        EXPECT_LE(bench.PortName(i).size(), 24u) << bench.PortName(i);
        EXPECT_LT(access(bench.PortName(i).c_str(), F_OK), 0) << "absent until configured";
    }
    bench.Configure(2, UnitConfig::Kestrale('S', {3, 4, 'A'}));
    {
        HostPort host(bench.PortName(2), 115200);
        ASSERT_TRUE(host.ok());
        EXPECT_TRUE(bench.PortInUse(2));
        host.Write({'S', 0x03, 0x56});
        EXPECT_EQ(host.Read(1, 2000), Bytes{'O'});
        EXPECT_EQ(bench.UnitSpeed(2), 230400);
        EXPECT_EQ(bench.SpeedCommands(2), 1);
        EXPECT_EQ(bench.HostBytes(2), (Bytes{'S', 0x03, 0x56}));
    }
    EXPECT_FALSE(bench.PortInUse(2));
    bench.Configure(2, UnitConfig::Kestrale());
    EXPECT_TRUE(bench.HostBytes(2).empty()) << "a new unit starts with an empty trace";
    EXPECT_EQ(bench.UnitSpeed(2), 115200);
    bench.Configure(2, UnitConfig::Absent());
    EXPECT_LT(access(bench.PortName(2).c_str(), F_OK), 0);
    EXPECT_EQ(bench.UnitSpeed(2), 0);
}

}  // namespace
