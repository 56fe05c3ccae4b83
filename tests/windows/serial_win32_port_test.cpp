// The Win32 serial layer on a real port: the emulator's pseudo-terminal mapped as COM1
// under wine. The DCB the link writes back must keep every member it does not name, the
// time-outs must reach the driver as given, and a read of a silent port must come back
// with nothing rather than fail or hang.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "serial.h"
#include "sim_bench.h"

namespace {

class Win32SerialPort : public ::testing::Test {
protected:
    void SetUp() override {
        SimBench::Get().Configure(1, UnitConfig::Silent());
        name_ = SimBench::Get().PortName(1);
        port_ = SerialOpen(name_.c_str());
        ASSERT_NE(port_, nullptr) << "cannot open " << name_ << ", error " << SerialLastError();
    }
    void TearDown() override {
        if (port_ != nullptr) SerialClose(port_);
    }
    DCB DriverState() {
        DCB dcb;
        std::memset(&dcb, 0, sizeof dcb);
        dcb.DCBlength = sizeof dcb;
        EXPECT_TRUE(GetCommState(static_cast<HANDLE>(port_), &dcb)) << GetLastError();
        return dcb;
    }
    // The settings OpenPort asks for, on top of what the driver reported.
    static void AskForLinkSettings(SerialLineSettings* settings, uint32_t speed) {
        settings->baudRate = speed;
        settings->byteSize = 8;
        settings->parity = 0;
        settings->outxCtsFlow = false;
        settings->outxDsrFlow = false;
        settings->dsrSensitivity = false;
        settings->dtrControl = 1;
        settings->rtsControl = 1;
    }

    std::string name_;
    PortHandle port_ = nullptr;
};

TEST_F(Win32SerialPort, ReadsTheDriversDcbWhole) {
    DCB driver = DriverState();
    SerialLineSettings settings;
    ASSERT_TRUE(SerialGetLineSettings(port_, &settings));
    EXPECT_EQ(std::memcmp(settings.native, &driver, sizeof driver), 0);
    EXPECT_EQ(settings.baudRate, driver.BaudRate);
    EXPECT_EQ(settings.byteSize, driver.ByteSize);
    EXPECT_EQ(settings.parity, driver.Parity);
}

TEST_F(Win32SerialPort, WritesBackOnlyTheNamedMembers) {
    // Give the driver settings the link must not touch: two stop bits, 7 data bits with
    // even parity, hardware handshake on.
    DCB odd = DriverState();
    odd.StopBits = TWOSTOPBITS;
    odd.ByteSize = 7;
    odd.Parity = EVENPARITY;
    odd.fOutxCtsFlow = 1;
    odd.fRtsControl = RTS_CONTROL_HANDSHAKE;
    ASSERT_TRUE(SetCommState(static_cast<HANDLE>(port_), &odd)) << GetLastError();
    DCB before = DriverState();

    SerialLineSettings settings;
    ASSERT_TRUE(SerialGetLineSettings(port_, &settings));
    AskForLinkSettings(&settings, 115200);
    ASSERT_TRUE(SerialSetLineSettings(port_, &settings)) << SerialLastError();

    DCB after = DriverState();
    EXPECT_EQ(after.BaudRate, 115200u);
    EXPECT_EQ(after.ByteSize, 8);
    EXPECT_EQ(after.Parity, NOPARITY);
    EXPECT_EQ(after.fOutxCtsFlow, 0u);
    EXPECT_EQ(after.fOutxDsrFlow, 0u);
    EXPECT_EQ(after.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(after.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    // What the link does not name stays as the driver had it.
    EXPECT_EQ(after.StopBits, before.StopBits);
    EXPECT_EQ(after.StopBits, TWOSTOPBITS);
    EXPECT_EQ(after.fOutX, before.fOutX);
    EXPECT_EQ(after.fInX, before.fInX);
    EXPECT_EQ(after.XonChar, before.XonChar);
    EXPECT_EQ(after.XoffChar, before.XoffChar);
}

TEST_F(Win32SerialPort, TakesEverySpeedOfTheTable) {
    const uint32_t speeds[] = {115200, 230400, 460800, 921600, 115200};
    for (uint32_t speed : speeds) {
        SerialLineSettings settings;
        ASSERT_TRUE(SerialGetLineSettings(port_, &settings));
        AskForLinkSettings(&settings, speed);
        ASSERT_TRUE(SerialSetLineSettings(port_, &settings)) << speed;
        EXPECT_EQ(DriverState().BaudRate, speed);
        ASSERT_TRUE(SerialGetLineSettings(port_, &settings));
        EXPECT_EQ(settings.baudRate, speed);
    }
}

TEST_F(Win32SerialPort, TimeoutsReachTheDriverAsGiven) {
    const SerialTimeouts asked{25, 0, 300, 0, 110};
    ASSERT_TRUE(SerialSetTimeouts(port_, &asked));

    COMMTIMEOUTS driver;
    ASSERT_TRUE(GetCommTimeouts(static_cast<HANDLE>(port_), &driver));
    EXPECT_EQ(driver.ReadIntervalTimeout, 25u);
    EXPECT_EQ(driver.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(driver.ReadTotalTimeoutConstant, 300u);
    EXPECT_EQ(driver.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(driver.WriteTotalTimeoutConstant, 110u);

    SerialTimeouts read{};
    ASSERT_TRUE(SerialGetTimeouts(port_, &read));
    EXPECT_EQ(read.readIntervalTimeout, 25u);
    EXPECT_EQ(read.readTotalTimeoutConstant, 300u);
    EXPECT_EQ(read.writeTotalTimeoutConstant, 110u);
}

TEST_F(Win32SerialPort, SilentPortReadsNothingAndSucceeds) {
    const SerialTimeouts asked{25, 0, 110, 0, 110};
    ASSERT_TRUE(SerialSetTimeouts(port_, &asked));
    ASSERT_TRUE(SerialPurge(port_));

    unsigned char reply[3] = {0, 0, 0};
    uint32_t received = 99;
    auto begin = std::chrono::steady_clock::now();
    EXPECT_TRUE(SerialRead(port_, reply, sizeof reply, &received));
    auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(received, 0u);
    // Only a bound against hanging; the accuracy is measured by the benchmark.
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(Win32SerialPort, WriteReportsTheWholeRequestSent) {
    const SerialTimeouts asked{25, 0, 300, 0, 110};
    ASSERT_TRUE(SerialSetTimeouts(port_, &asked));
    const unsigned char request[3] = {0x53, 0x07, 0x5A};
    uint32_t written = 0;
    EXPECT_TRUE(SerialWrite(port_, request, sizeof request, &written));
    EXPECT_EQ(written, sizeof request);

    // The unit sees the same bytes (a bounded wait: its reader runs on its own thread).
    std::vector<uint8_t> seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((seen = SimBench::Get().HostBytes(1)).size() < sizeof request &&
           std::chrono::steady_clock::now() < deadline) {
        Sleep(5);
    }
    EXPECT_EQ(seen, std::vector<uint8_t>(request, request + sizeof request));
}

}  // namespace
