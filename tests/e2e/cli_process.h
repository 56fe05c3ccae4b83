// Runs drusel-update as a child process and collects what it says.
//
// The emulated units live in this test process (SimBench); the tool opens their pty links
// like any serial port. A callback sees each stdout line as it comes, with the child's
// process id, so a test can press Ctrl-C (SIGINT) at a chosen moment.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct CliRun {
    int exitCode = -1;      // -1 when it did not exit normally (killed, timed out)
    bool timedOut = false;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const;
};

using CliLineCallback = std::function<void(const std::string& line, pid_t child)>;

// Runs the tool with args; a generous limit only catches hangs.
CliRun RunCli(const std::vector<std::string>& args, const CliLineCallback& onStdoutLine = {},
              int limitSeconds = 120, const CliLineCallback& onStderrLine = {});

// The same with the tool started through a wrapper program (its full path first), as
// setpriv to run it as another user.
CliRun RunCliThrough(const std::vector<std::string>& wrapper, const std::vector<std::string>& args,
                     int limitSeconds = 120);

// The path of the drusel-update program under test.
const char* CliProgramPath();
