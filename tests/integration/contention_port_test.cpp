// Contention and disappearing ports on the POSIX serial layer: a second link or a second
// program that opens a port in use is refused as busy without disturbing the first; an
// emulator that exits in the middle of an upload ends it with a failure within its
// answer time-out; a port path that vanishes between the scan and the open is reported
// as missing, and discovery goes on to the next port.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "device_link.h"
#include "sim_bench.h"
#include "upload_oracle.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// What the second program reported about its open.
struct OpenerReport {
    int result = 1;
    unsigned osError = 0;
    int busy = -1;
    int noSuchPort = -1;
};

// Starts args[0] with its standard output on a pipe and reads the first line it prints.
// Returns its pid, or -1 when it could not be started.
pid_t SpawnReadingFirstLine(std::vector<std::string> args, std::string* line) {
    int out[2];
    if (pipe(out) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c;
    while (spawned == 0 && read(out[0], &c, 1) == 1 && c != '\n') *line += c;
    close(out[0]);
    return spawned == 0 ? pid : -1;
}

// Runs contention_opener on `port` and parses its line.
OpenerReport RunOpener(const std::string& port) {
    std::string line;
    const pid_t pid = SpawnReadingFirstLine({DRUSEL_CONTENTION_OPENER, port}, &line);
    if (pid > 0) waitpid(pid, nullptr, 0);
    OpenerReport report;
    if (std::sscanf(line.c_str(), "%d %u %d %d", &report.result, &report.osError, &report.busy, &report.noSuchPort) != 4)
        report.result = 1;
    return report;
}

class Contention : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= bench.PortCount(); ++i) bench.Configure(i, UnitConfig::Absent());
        bench.Configure(1, UnitConfig::Kestrale('U'));
        port = bench.PortName(1);
    }
    // The first link completes an exchange with the unit: it reads the model letter. (A
    // memory read waits 300 ms for its answer, the version query only 110 ms, which an
    // in-process unit under valgrind can miss.)
    void ExpectFirstLinkStillWorks() {
        first.protocolFlags = 2;
        uint8_t modelLetter = 0;
        ASSERT_EQ(first.ReadEEPROM(&modelLetter, 1, 1), RESULT_OK);
        EXPECT_EQ(modelLetter, 'A');
    }

    SimBench& bench = SimBench::Get();
    std::string port;
    DeviceLink first;
};

TEST_F(Contention, SecondLinkOnAPortInUseIsRefusedAsBusy) {
    ASSERT_EQ(first.OpenPort(port.c_str(), 115200), RESULT_OK);
    DeviceLink second;
    EXPECT_EQ(second.OpenPort(port.c_str(), 115200), RESULT_NOT_OPEN);
    EXPECT_TRUE(SerialErrorIsBusy(second.lastOsError)) << "error " << second.lastOsError;
    EXPECT_FALSE(SerialErrorIsNoSuchPort(second.lastOsError));
    EXPECT_EQ(second.portHandle, nullptr);
    EXPECT_EQ(second.portOpen, 0);
    ExpectFirstLinkStillWorks();
    // Once the first lets go, the second gets the port.
    first.ClosePort();
    EXPECT_EQ(second.OpenPort(port.c_str(), 115200), RESULT_OK);
}

TEST_F(Contention, SecondProgramOnAPortInUseIsRefusedAsBusy) {
    ASSERT_EQ(first.OpenPort(port.c_str(), 115200), RESULT_OK);
    const OpenerReport refused = RunOpener(port);
    EXPECT_EQ(refused.result, RESULT_NOT_OPEN);
    EXPECT_EQ(refused.busy, 1) << "error " << refused.osError;
    EXPECT_EQ(refused.noSuchPort, 0);
    ExpectFirstLinkStillWorks();
    first.ClosePort();
    EXPECT_FALSE(bench.PortInUse(1));
    const OpenerReport taken = RunOpener(port);
    EXPECT_EQ(taken.result, RESULT_OK);
    EXPECT_EQ(taken.osError, 0u);
}

// How the port disappears under a running link.
enum class Vanish { RemovedFromTheBench, SimProgramKilled, SimProgramTerminated };

const char* Name(Vanish v) {
    switch (v) {
    case Vanish::RemovedFromTheBench: return "RemovedFromTheBench";
    case Vanish::SimProgramKilled: return "SimProgramKilled";
    case Vanish::SimProgramTerminated: return "SimProgramTerminated";
    }
    return "?";
}

// Readable case names in test listings.
void PrintTo(Vanish v, std::ostream* os) { *os << Name(v); }

// Starts the drusel-sim program on `link`; its pid, once it prints "ready".
pid_t StartSimProgram(const std::string& link) {
    std::string line;
    const pid_t pid = SpawnReadingFirstLine({DRUSEL_SIM_PROGRAM, "--link", link, "--unit", "kestrale:U"}, &line);
    if (pid < 0) return -1;
    if (line.rfind("ready", 0) != 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

class EmulatorExitsMidUpload : public ::testing::TestWithParam<Vanish> {
protected:
    // Called at every block the unit took: the emulator goes away at the third.
    static void OnProgress(void* context, ProgressEvent event, int32_t) {
        auto* self = static_cast<EmulatorExitsMidUpload*>(context);
        if (event != ProgressEvent::StepIt || ++self->steps != 3) return;
        switch (GetParam()) {
        case Vanish::RemovedFromTheBench: SimBench::Get().Configure(1, UnitConfig::Absent()); break;
        case Vanish::SimProgramKilled:
        case Vanish::SimProgramTerminated:
            kill(self->simPid, GetParam() == Vanish::SimProgramKilled ? SIGKILL : SIGTERM);
            waitpid(self->simPid, nullptr, 0);
            self->simPid = -1;
            break;
        }
    }

    void TearDown() override {
        if (simPid > 0) {
            kill(simPid, SIGKILL);
            waitpid(simPid, nullptr, 0);
        }
        if (!folder.empty()) {
            unlink((folder + "/p").c_str());
            unlink((folder + "/image.enc").c_str());
            rmdir(folder.c_str());
        }
    }

    int steps = 0;
    pid_t simPid = -1;
    std::string folder;
};

TEST_P(EmulatorExitsMidUpload, EndsWithAFailureWithinTheAnswerTimeout) {
    char pattern[] = "/tmp/dcXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    std::string port;
    if (GetParam() == Vanish::RemovedFromTheBench) {
        SimBench::Get().Configure(1, UnitConfig::Kestrale('U'));
        port = SimBench::Get().PortName(1);
    } else {
        port = folder + "/p";
        simPid = StartSimProgram(port);
        ASSERT_GT(simPid, 0) << "drusel-sim did not start";
    }
    const std::vector<uint8_t> image = MakeValidImage(65536, 7);
    const std::string imagePath = folder + "/image.enc";
    FILE* f = std::fopen(imagePath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), f), image.size());
    ASSERT_EQ(std::fclose(f), 0);

    DeviceLink link;
    ASSERT_EQ(link.OpenPort(port.c_str(), 115200), RESULT_OK);
    link.protocolFlags = 2;
    ProgressTarget progress{&EmulatorExitsMidUpload::OnProgress, this};
    const Clock::time_point start = Clock::now();
    const ResultCode result = link.UploadFirmware(imagePath.c_str(), &progress);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    EXPECT_EQ(steps, 3) << "the unit stopped answering once it was gone";
    EXPECT_NE(result, RESULT_OK);
    EXPECT_TRUE(result == RESULT_READ_FAILED || result == RESULT_WRITE_FAILED || result == RESULT_BAD_RESPONSE)
        << "result " << result;
    // A generous bound that only catches a hang: one answer time-out is 6 s.
    EXPECT_LT(seconds, 20.0);
    EXPECT_EQ(link.idle, 1);
    link.ClosePort();
    EXPECT_EQ(link.portHandle, nullptr);
    std::printf("[ %s ] upload ended with %d after %.3f s\n", Name(GetParam()), result, seconds);
}

INSTANTIATE_TEST_SUITE_P(Ways, EmulatorExitsMidUpload,
                         ::testing::Values(Vanish::RemovedFromTheBench, Vanish::SimProgramKilled,
                                           Vanish::SimProgramTerminated),
                         [](const ::testing::TestParamInfo<Vanish>& p) { return std::string(Name(p.param)); });

// What stands at a port path by the time the link opens it.
struct VanishedPath {
    const char* name;
    bool reportedAsMissing;  // SerialErrorIsNoSuchPort holds for the error
    void (*make)(const std::string& path);
};

const VanishedPath kVanishedPaths[] = {
    {"nothing", true, [](const std::string&) {}},
    {"dangling link", true, [](const std::string& p) { ASSERT_EQ(symlink("/dev/pts/2147483647", p.c_str()), 0); }},
    {"regular file", false,
     [](const std::string& p) {
         const int fd = open(p.c_str(), O_CREAT | O_WRONLY, 0600);
         ASSERT_GE(fd, 0);
         close(fd);
     }},
    {"folder", false, [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }},
    {"fifo", false, [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }},
};

TEST_F(Contention, PortThatVanishedAfterTheScanIsReportedAndSkipped) {
    // The scan saw two ports; the first is gone (or replaced by something else) at the open.
    bench.Configure(1, UnitConfig::Kestrale('U'));
    bench.Configure(2, UnitConfig::GristPell());
    const std::string gone = bench.PortName(1);
    const std::string live = bench.PortName(2);
    for (const VanishedPath& v : kVanishedPaths) {
        SCOPED_TRACE(v.name);
        bench.Configure(1, UnitConfig::Absent());
        v.make(gone);

        DeviceLink link;
        EXPECT_EQ(link.OpenPort(gone.c_str(), 115200), RESULT_NOT_OPEN);
        EXPECT_EQ(link.portHandle, nullptr);
        EXPECT_NE(link.lastOsError, 0u);
        EXPECT_EQ(SerialErrorIsNoSuchPort(link.lastOsError), v.reportedAsMissing) << "error " << link.lastOsError;

        const char* names[] = {gone.c_str(), live.c_str()};
        VersionTriple version{};
        char description[64] = "";
        EXPECT_EQ(link.DiscoverDevice(description, sizeof description, &version, PortList{names, 2}), KIND_GRIST_PELL);
        EXPECT_STREQ(link.portName, live.c_str());
        link.ClosePort();

        unlink(gone.c_str());
        rmdir(gone.c_str());
    }
}

}  // namespace
