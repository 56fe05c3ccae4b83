#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

const char* CliProgramPath() { return DRUSEL_UPDATE_PATH; }

std::vector<std::string> CliRun::OutLines() const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

namespace {

CliRun RunArgv(const std::vector<std::string>& wrapper, const std::vector<std::string>& args,
               const CliLineCallback& onStdoutLine, int limitSeconds, const CliLineCallback& onStderrLine) {
    CliRun run;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return run;

    std::vector<char*> argv;
    for (const std::string& arg : wrapper) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(const_cast<char*>(CliProgramPath()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    size_t lineStart[2] = {0, 0};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            run.timedOut = true;
            kill(child, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
                continue;
            }
            std::string& sink = k == 0 ? run.out : run.err;
            sink.append(buffer, static_cast<size_t>(n));
            const CliLineCallback& onLine = k == 0 ? onStdoutLine : onStderrLine;
            if (onLine) {
                size_t end;
                while ((end = sink.find('\n', lineStart[k])) != std::string::npos) {
                    onLine(sink.substr(lineStart[k], end - lineStart[k]), child);
                    lineStart[k] = end + 1;
                }
            }
        }
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args, const CliLineCallback& onStdoutLine, int limitSeconds,
              const CliLineCallback& onStderrLine) {
    return RunArgv({}, args, onStdoutLine, limitSeconds, onStderrLine);
}

CliRun RunCliThrough(const std::vector<std::string>& wrapper, const std::vector<std::string>& args,
                     int limitSeconds) {
    return RunArgv(wrapper, args, {}, limitSeconds, {});
}
