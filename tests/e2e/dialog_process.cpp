// Child processes for the end-to-end runner. Waiting uses a pidfd, so the end of a child
// is awaited with poll() and a bound instead of repeated sleeps.
#include "dialog_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

int OpenPidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

// Our environment with `extra` laid over it, as "NAME=value" strings.
std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        if (extra.find(name) == extra.end()) merged.push_back(text);
    }
    for (const auto& [name, value] : extra) merged.push_back(name + "=" + value);
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// In the child after fork: only async-signal-safe calls until exec.
[[noreturn]] void ExecChild(char** argv, char** envp, int stdinFd, int stdoutFd, int stderrFd, const char* cwd,
                            pid_t parent) {
    // A runner that dies (a CTest time-out) must not leave a display or a dialog behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(125);
    if (stdinFd >= 0) dup2(stdinFd, STDIN_FILENO);
    if (stdoutFd >= 0) dup2(stdoutFd, STDOUT_FILENO);
    if (stderrFd >= 0) dup2(stderrFd, STDERR_FILENO);
    if (cwd != nullptr && chdir(cwd) != 0) _exit(126);
    // A new process group, so that the runner's terminal signals stay with the runner.
    setpgid(0, 0);
    execve(argv[0], argv, envp);
    _exit(127);
}

int OpenAppend(const std::string& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (Running()) Kill();
    CloseFds();
}

void ChildProcess::CloseFds() {
    for (int* fd : {&pidFd_, &stdinFd_, &stdoutFd_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void ChildProcess::CloseStdin() {
    if (stdinFd_ >= 0) close(stdinFd_);
    stdinFd_ = -1;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const Options& options, std::string* error) {
    if (Running()) {
        *error = "a child is still running";
        return false;
    }
    CloseFds();
    if (argv.empty()) {
        *error = "no program";
        return false;
    }
    if (access(argv[0].c_str(), X_OK) != 0) {
        *error = argv[0] + " is not an executable: " + std::strerror(errno);
        return false;
    }
    int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
    if ((options.pipeStdin && pipe2(toChild, O_CLOEXEC) != 0) ||
        (options.pipeStdout && pipe2(fromChild, O_CLOEXEC) != 0)) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    int outFile = -1;
    if (!options.pipeStdout && options.stdoutFd >= 0) {
        outFile = fcntl(options.stdoutFd, F_DUPFD_CLOEXEC, 3);
    } else if (!options.pipeStdout && !options.stdoutFile.empty()) {
        outFile = OpenAppend(options.stdoutFile);
    }
    int errFile = options.stderrFile.empty() ? -1 : OpenAppend(options.stderrFile);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = MergedEnvironment(options.environment);
    std::vector<char*> argPointers = Pointers(args), envPointers = Pointers(env);
    const char* cwd = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();

    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        ExecChild(argPointers.data(), envPointers.data(), toChild[0], options.pipeStdout ? fromChild[1] : outFile,
                  errFile, cwd, parent);
    }
    for (int fd : {toChild[0], fromChild[1], outFile, errFile}) {
        if (fd >= 0) close(fd);
    }
    if (pid < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        for (int fd : {toChild[1], fromChild[0]}) {
            if (fd >= 0) close(fd);
        }
        return false;
    }
    pid_ = pid;
    pidFd_ = OpenPidFd(pid);
    stdinFd_ = toChild[1];
    stdoutFd_ = fromChild[0];
    exitStatus_.reset();
    return true;
}

std::optional<int> ChildProcess::WaitExit(int timeoutMs) {
    if (pid_ <= 0) return exitStatus_;
    if (exitStatus_) return exitStatus_;
    pollfd wait{pidFd_, POLLIN, 0};
    int ready = pidFd_ >= 0 ? poll(&wait, 1, timeoutMs) : 1;
    if (ready == 0) return std::nullopt;
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exitStatus_;
}

void ChildProcess::Kill() {
    if (!Running()) return;
    kill(pid_, SIGKILL);
    WaitExit(10000);
}

int RunToEnd(const std::vector<std::string>& argv, const ChildProcess::Options& options, int timeoutMs,
             std::string* error) {
    ChildProcess child;
    if (!child.Start(argv, options, error)) return -1;
    std::optional<int> code = child.WaitExit(timeoutMs);
    if (!code) {
        *error = argv[0] + " did not end within " + std::to_string(timeoutMs) + " ms";
        child.Kill();
        return -1;
    }
    return *code;
}
