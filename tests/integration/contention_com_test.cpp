// Contention and disappearing ports on COM ports under wine (Windows build only). wine
// does not enforce exclusive opens between handles, so "busy" is played by a COM link
// that points at a folder, which CreateFileA refuses with ERROR_ACCESS_DENIED, as Windows
// does for a port another program holds. The wrapper that runs this test maps COM8 onto
// a folder and leaves COM9 unmapped; the emulator's units are on COM1..COM5.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "device_link.h"
#include "sim_bench.h"
#include "upload_oracle.h"

namespace {

constexpr const char* kBusyPort = "COM8";
constexpr const char* kMissingPort = "COM9";

class ComContention : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= bench.PortCount(); ++i) bench.Configure(i, UnitConfig::Absent());
        bench.Configure(1, UnitConfig::Kestrale('U'));
    }
    SimBench& bench = SimBench::Get();
};

// What a port open meets, by port.
struct RefusedOpen {
    const char* port;
    uint32_t osError;
    bool busy;
    bool missing;
};

TEST_F(ComContention, RefusedOpensAreToldApartAndLeaveTheFirstLinkWorking) {
    DeviceLink first;
    ASSERT_EQ(first.OpenPort(bench.PortName(1).c_str(), 115200), RESULT_OK);
    const RefusedOpen cases[] = {
        {kBusyPort, ERROR_ACCESS_DENIED, true, false},
        {kMissingPort, ERROR_FILE_NOT_FOUND, false, true},
    };
    for (const RefusedOpen& c : cases) {
        SCOPED_TRACE(c.port);
        DeviceLink second;
        EXPECT_EQ(second.OpenPort(c.port, 115200), RESULT_NOT_OPEN);
        EXPECT_EQ(second.lastOsError, c.osError);
        EXPECT_EQ(SerialErrorIsBusy(second.lastOsError), c.busy);
        EXPECT_EQ(SerialErrorIsNoSuchPort(second.lastOsError), c.missing);
        EXPECT_EQ(second.portHandle, nullptr);
        VersionTriple version{};
        ASSERT_EQ(first.QueryVersion(&version), RESULT_OK);
        EXPECT_EQ(version.letter, 'A');
    }
}

TEST_F(ComContention, DiscoverySkipsBusyAndMissingPorts) {
    bench.Configure(1, UnitConfig::Absent());
    bench.Configure(2, UnitConfig::GristPell());
    const std::string live = bench.PortName(2);
    const char* names[] = {kBusyPort, kMissingPort, live.c_str()};
    DeviceLink link;
    VersionTriple version{};
    char description[64] = "";
    EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, PortList{names, 3}), KIND_GRIST_PELL);
    EXPECT_STREQ(link.portName, live.c_str());
    link.ClosePort();
}

// The emulator drops the unit at the third block taken: wine does not wake the pending
// read, so the upload meets silence (or a failing write) and must end with a failure
// after one answer time-out, never success and never a hang.
struct DropAtThirdBlock {
    int steps = 0;
    static void OnProgress(void* context, ProgressEvent event, int32_t) {
        auto* self = static_cast<DropAtThirdBlock*>(context);
        if (event == ProgressEvent::StepIt && ++self->steps == 3) SimBench::Get().Configure(1, UnitConfig::Absent());
    }
};

TEST_F(ComContention, UnitThatGoesAwayMidUploadEndsItWithAFailure) {
    char folder[MAX_PATH] = "";
    ASSERT_NE(GetTempPathA(sizeof folder, folder), 0u);
    const std::string imagePath = std::string(folder) + "drusel-contention-" + std::to_string(GetCurrentProcessId()) + ".enc";
    const std::vector<uint8_t> image = MakeValidImage(65536, 3);
    FILE* f = std::fopen(imagePath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    ASSERT_EQ(std::fclose(f), 0);

    DeviceLink link;
    ASSERT_EQ(link.OpenPort(bench.PortName(1).c_str(), 115200), RESULT_OK);
    link.protocolFlags = 2;
    DropAtThirdBlock drop;
    ProgressTarget progress{&DropAtThirdBlock::OnProgress, &drop};
    const auto start = std::chrono::steady_clock::now();
    const ResultCode result = link.UploadFirmware(imagePath.c_str(), &progress);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    DeleteFileA(imagePath.c_str());

    EXPECT_EQ(drop.steps, 3);
    EXPECT_TRUE(result == RESULT_BAD_RESPONSE || result == RESULT_WRITE_FAILED || result == RESULT_READ_FAILED)
        << "result " << result;
    EXPECT_LT(seconds, 20.0);  // one answer time-out is 6 s; this only catches a hang
    EXPECT_EQ(link.idle, 1);
    link.ClosePort();
    EXPECT_EQ(link.portHandle, nullptr);
    std::printf("[ unit gone ] upload ended with %d after %.3f s\n", result, seconds);
}

}  // namespace
