// Line settings and raw transfer of the POSIX serial layer, checked from the far end of a
// pseudo-terminal (on Linux the master reports the slave's terminal settings).
#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "serial.h"
#include "serial_posix_pty.h"

namespace {

struct LineCase {
    uint32_t speed;
    speed_t termiosSpeed;
    bool twoStopBits;  // as the driver had them before the port was opened
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.speed << (c.twoStopBits ? " bit/s, two stop bits" : " bit/s, one stop bit");
}

class SerialPosixLineSettings : public ::testing::TestWithParam<LineCase> {};

TEST_P(SerialPosixLineSettings, GiveRawEightBitLineAtTheSpeedAndKeepStopBits) {
    const LineCase& c = GetParam();
    PtyPeer peer;
    // Start from a terminal's cooked defaults, plus the stop bits under test.
    termios before = peer.SlaveSettings();
    before.c_iflag |= ICRNL | IXON | IXOFF | IXANY;
    before.c_oflag |= OPOST | ONLCR;
    before.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    before.c_cflag |= PARENB | CRTSCTS;
    if (c.twoStopBits) {
        before.c_cflag |= CSTOPB;
    } else {
        before.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    }
    peer.SetSlaveSettings(before);

    PortHandle port = OpenConfigured(peer.SlavePath(), c.speed);
    ASSERT_NE(port, nullptr) << "errno " << SerialLastError();
    termios tio = peer.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&tio), c.termiosSpeed);
    EXPECT_EQ(cfgetispeed(&tio), c.termiosSpeed);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CRTSCTS), 0u);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);

    SerialLineSettings readBack{};
    ASSERT_TRUE(SerialGetLineSettings(port, &readBack));
    EXPECT_EQ(readBack.baudRate, c.speed);
    EXPECT_EQ(readBack.byteSize, 8);
    EXPECT_EQ(readBack.parity, 0);
    EXPECT_FALSE(readBack.outxCtsFlow);
    SerialClose(port);
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, SerialPosixLineSettings,
    ::testing::Values(LineCase{115200, B115200, false}, LineCase{230400, B230400, false},
                      LineCase{460800, B460800, false}, LineCase{921600, B921600, false},
                      LineCase{115200, B115200, true}, LineCase{921600, B921600, true}),
    [](const auto& param_info) {
        return std::to_string(param_info.param.speed) + (param_info.param.twoStopBits ? "_two_stop" : "_one_stop");
    });

struct RefusedSettingCase {
    const char* label;
    void (*spoil)(SerialLineSettings&);
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RefusedSettingCase& c, std::ostream* os) {
    *os << c.label;
}

class SerialPosixRefusedSetting : public ::testing::TestWithParam<RefusedSettingCase> {};

TEST_P(SerialPosixRefusedSetting, IsRefusedAndLeavesTheLineAsItWas) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200);
    ASSERT_NE(port, nullptr);
    SerialLineSettings settings{};
    ASSERT_TRUE(SerialGetLineSettings(port, &settings));
    GetParam().spoil(settings);
    EXPECT_FALSE(SerialSetLineSettings(port, &settings));
    EXPECT_EQ(SerialLastError(), static_cast<uint32_t>(EINVAL));
    termios tio = peer.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    SerialClose(port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPosixRefusedSetting,
    ::testing::Values(
        RefusedSettingCase{"speed_with_no_termios_name", [](SerialLineSettings& s) { s.baudRate = 123456; }},
        RefusedSettingCase{"zero_speed", [](SerialLineSettings& s) { s.baudRate = 0; }},
        RefusedSettingCase{"nine_data_bits", [](SerialLineSettings& s) { s.byteSize = 9; }},
        RefusedSettingCase{"mark_parity", [](SerialLineSettings& s) { s.parity = 3; }},
        RefusedSettingCase{"dsr_flow_control", [](SerialLineSettings& s) { s.outxDsrFlow = true; }},
        RefusedSettingCase{"dtr_handshake", [](SerialLineSettings& s) { s.dtrControl = 2; }}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

std::vector<uint8_t> EveryByteValue() {
    std::vector<uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

// CR, LF, XON, XOFF, ^C, ^D and DEL among them would be changed or swallowed by a
// terminal's defaults.
TEST(SerialPosixRawTransfer, HostToPeerCarriesEveryByteValueUnchanged) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath());
    ASSERT_NE(port, nullptr);
    std::vector<uint8_t> bytes = EveryByteValue();
    uint32_t written = 0;
    ASSERT_TRUE(SerialWrite(port, bytes.data(), 256, &written));
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(peer.Receive(256), bytes);
    SerialClose(port);
}

TEST(SerialPosixRawTransfer, PeerToHostCarriesEveryByteValueUnchanged) {
    PtyPeer peer;
    PortHandle port = OpenConfigured(peer.SlavePath(), 115200, SerialTimeouts{25, 0, 2000, 0, 110});
    ASSERT_NE(port, nullptr);
    std::vector<uint8_t> bytes = EveryByteValue();
    peer.Send(bytes);
    std::vector<uint8_t> got(300, 0xEE);
    uint32_t received = 0;
    ASSERT_TRUE(SerialRead(port, got.data(), 256, &received));
    ASSERT_EQ(received, 256u);
    got.resize(received);
    EXPECT_EQ(got, bytes);
    // Nothing was echoed back to the peer either.
    EXPECT_TRUE(peer.Receive(1, std::chrono::milliseconds(50)).empty());
    SerialClose(port);
}

}  // namespace
