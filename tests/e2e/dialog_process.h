// A child process of the end-to-end runner: started with extra environment, optionally
// with pipes to its stdin and from its stdout, awaited with a bound, killed if it is left.
#pragma once
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

class ChildProcess {
public:
    struct Options {
        std::map<std::string, std::string> environment;  // added to (or replacing) ours
        bool pipeStdin = false;
        bool pipeStdout = false;
        int stdoutFd = -1;       // when not piped: the child's stdout is this descriptor
        std::string stdoutFile;  // otherwise append stdout here ("" = inherit)
        std::string stderrFile;  // append stderr here ("" = inherit)
        std::string workingDirectory;
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();  // kills and reaps a child that is still running

    // False (with the reason in *error) when the program cannot be started.
    bool Start(const std::vector<std::string>& argv, const Options& options, std::string* error);

    pid_t Pid() const { return pid_; }
    bool Running() const { return pid_ > 0 && !exitStatus_.has_value(); }

    // Waits up to timeoutMs for the child to end; its exit code, or nothing on time-out.
    // A child ended by a signal reports 128 + the signal number.
    std::optional<int> WaitExit(int timeoutMs);

    // Ends a running child with SIGKILL and reaps it.
    void Kill();

    int StdinFd() const { return stdinFd_; }
    // Closes our end of the child's stdin: the child reads end of file.
    void CloseStdin();
    int StdoutFd() const { return stdoutFd_; }

private:
    pid_t pid_ = -1;
    int pidFd_ = -1;
    int stdinFd_ = -1;
    int stdoutFd_ = -1;
    std::optional<int> exitStatus_;

    void CloseFds();
};

// Runs a program to its end (at most timeoutMs) and returns its exit code; -1 when it
// could not be started or did not end in time (it is killed then).
int RunToEnd(const std::vector<std::string>& argv, const ChildProcess::Options& options, int timeoutMs,
             std::string* error);
