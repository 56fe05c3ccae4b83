// Opening ports with the POSIX serial layer: exclusive use within and across processes,
// and errors that tell a missing port from a busy one.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "serial.h"
#include "serial_posix_pty.h"

namespace {

// Exit codes of a child process that tries the port on its own.
constexpr int kChildRefusedBusy = 10;
constexpr int kChildOpened = 11;
constexpr int kChildOtherError = 12;

int OpenInChildProcess(const char* path) {
    pid_t child = fork();
    if (child == 0) {
        PortHandle port = SerialOpen(path);
        if (port != nullptr) _exit(kChildOpened);
        _exit(SerialErrorIsBusy(SerialLastError()) ? kChildRefusedBusy : kChildOtherError);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SerialPosixOpen, SecondOpenInThisProcessIsRefusedAsBusy) {
    PtyPeer peer;
    PortHandle first = SerialOpen(peer.SlavePath());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(SerialOpen(peer.SlavePath()), nullptr);
    EXPECT_TRUE(SerialErrorIsBusy(SerialLastError()));
    EXPECT_FALSE(SerialErrorIsNoSuchPort(SerialLastError()));
    SerialClose(first);
}

TEST(SerialPosixOpen, OpenFromAnotherProcessIsRefusedWhileHeld) {
    PtyPeer peer;
    PortHandle held = SerialOpen(peer.SlavePath());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(OpenInChildProcess(peer.SlavePath()), kChildRefusedBusy);
    SerialClose(held);
    EXPECT_EQ(OpenInChildProcess(peer.SlavePath()), kChildOpened);
}

struct RefusedOpenCase {
    const char* label;
    std::string path;
    int error;
    bool noSuchPort;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const RefusedOpenCase& c, std::ostream* os) {
    *os << c.label;
}

class SerialPosixRefusedOpen : public ::testing::TestWithParam<RefusedOpenCase> {};

TEST_P(SerialPosixRefusedOpen, FailsWithAnErrorThatNamesTheCause) {
    const RefusedOpenCase& c = GetParam();
    EXPECT_EQ(SerialOpen(c.path.c_str()), nullptr);
    uint32_t error = SerialLastError();
    EXPECT_EQ(error, static_cast<uint32_t>(c.error));
    EXPECT_EQ(SerialErrorIsNoSuchPort(error), c.noSuchPort);
    EXPECT_FALSE(SerialErrorIsBusy(error));
    char text[128];
    SerialErrorText(error, text, sizeof text);
    EXPECT_STRNE(text, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialPosixRefusedOpen,
    ::testing::Values(RefusedOpenCase{"missing", "/nonexistent-dir/port", ENOENT, true},
                      RefusedOpenCase{"not_a_terminal", "/proc/self/cmdline", ENOTTY, false},
                      RefusedOpenCase{"empty_name", "", ENOENT, true}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(SerialPosixOpen, ErrorTextFitsASmallBuffer) {
    char text[8];
    std::memset(text, 'x', sizeof text);
    SerialErrorText(ENOENT, text, sizeof text);
    EXPECT_EQ(std::strlen(text), sizeof text - 1);
}

TEST(SerialPosixOpen, CallsOnANullHandleFailWithoutTouchingAnything) {
    SerialTimeouts timeouts{};
    SerialLineSettings settings{};
    uint8_t byte = 0;
    uint32_t count = 99;
    EXPECT_FALSE(SerialSetupQueues(nullptr, 1024, 1024));
    EXPECT_FALSE(SerialGetLineSettings(nullptr, &settings));
    EXPECT_FALSE(SerialSetTimeouts(nullptr, &timeouts));
    EXPECT_FALSE(SerialPurge(nullptr));
    EXPECT_FALSE(SerialWrite(nullptr, &byte, 1, &count));
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_FALSE(SerialRead(nullptr, &byte, 1, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(SerialLastError(), static_cast<uint32_t>(EBADF));
    SerialClose(nullptr);
}

}  // namespace
