// The emulator seen from Windows: COM ports opened with the bare Win32 comm API, the units
// configured and checked through SimBench's control channel.
#include <windows.h>

#include <gtest/gtest.h>

#include "sim_bench.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ComPort {
public:
    explicit ComPort(const std::string& name) {
        handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        error_ = handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }
    ~ComPort() {
        if (ok()) CloseHandle(handle_);
    }
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    DWORD error() const { return error_; }

    bool SetSpeed(DWORD speed) {
        DCB dcb {};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb)) return false;
        dcb.BaudRate = speed;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.fBinary = TRUE;
        dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = dcb.fInX = FALSE;
        COMMTIMEOUTS t{25, 0, 300, 0, 110};
        return SetCommState(handle_, &dcb) && SetCommTimeouts(handle_, &t);
    }
    bool Write(const Bytes& bytes) {
        DWORD written = 0;
        return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }
    Bytes Read(size_t n) {
        Bytes buffer(n);
        DWORD got = 0;
        if (!ReadFile(handle_, buffer.data(), static_cast<DWORD>(n), &got, nullptr)) return {};
        buffer.resize(got);
        return buffer;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
};

uint8_t Sum(const Bytes& b) {
    unsigned s = 0;
    for (uint8_t x : b) s += x;
    return static_cast<uint8_t>(s);
}

TEST(SimBenchRemote, UnitAnswersOnItsComPortAndTheBenchSeesTheBytes) {
    SimBench& bench = SimBench::Get();
    ASSERT_EQ(bench.PortCount(), 5);
    EXPECT_EQ(bench.PortName(2), "COM2");
    bench.Configure(2, UnitConfig::Kestrale('S', {1, 5, 'A'}));
    {
        ComPort port("COM2");
        ASSERT_TRUE(port.ok()) << "error " << port.error();
        ASSERT_TRUE(port.SetSpeed(115200));
        ASSERT_TRUE(port.Write({'V', 'V'}));
        EXPECT_EQ(port.Read(3), (Bytes{1, 5, 'A'}));
        EXPECT_TRUE(bench.PortInUse(2));
    }
    EXPECT_EQ(bench.HostBytes(2), (Bytes{'V', 'V'}));
    EXPECT_FALSE(bench.PortInUse(2));
}

TEST(SimBenchRemote, AbsentPortIsNoSuchPort) {
    SimBench& bench = SimBench::Get();
    bench.Configure(4, UnitConfig::Absent());
    ComPort port("COM4");
    EXPECT_FALSE(port.ok());
    EXPECT_EQ(port.error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(SimBenchRemote, SpeedChangeAndUploadAreVisibleThroughTheBench) {
    SimBench& bench = SimBench::Get();
    bench.Configure(1, UnitConfig::GristPell({12, 0, 'F'}));
    ComPort port("COM1");
    ASSERT_TRUE(port.ok()) << "error " << port.error();
    ASSERT_TRUE(port.SetSpeed(115200));
    ASSERT_TRUE(port.Write({'S', 0x01, 0x54}));
    ASSERT_EQ(port.Read(1), Bytes{'O'});
    EXPECT_EQ(bench.UnitSpeed(1), 460800);
    EXPECT_EQ(bench.SpeedCommands(1), 1);
    ASSERT_TRUE(port.SetSpeed(460800));

    Bytes image(100);
    for (size_t i = 0; i + 1 < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
    image.back() = Sum(Bytes(image.begin(), image.end() - 1));
    ASSERT_TRUE(port.Write({'f', 0x00, 0x64, 0xCA}));
    ASSERT_EQ(port.Read(1), Bytes{'O'});
    Bytes block = image;
    block.push_back(Sum(image));
    ASSERT_TRUE(port.Write(block));
    EXPECT_EQ(port.Read(2), (Bytes{'O', 'O'}));
    EXPECT_EQ(bench.ReceivedImage(1), image);
    EXPECT_EQ(bench.UnitSpeed(1), 115200) << "restarted at the default speed";
}

}  // namespace
