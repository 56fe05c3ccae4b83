// Xvfb is asked for a free display with -displayfd, which also tells when it is ready.
// The prefix and the server are script/wine-run's (one place creates prefixes); this
// session only points it at its own prefix, so the dialog run never shares COM links
// with the other Windows tests.
#include "dialog_wine_session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const int kXvfbReadyMs = 20000;
const int kPrefixReadyMs = 240000;  // a first wineboot on a loaded machine
const int kServerStopMs = 20000;

std::string FindProgram(const std::vector<std::string>& candidates) {
    for (const std::string& path : candidates) {
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return std::string();
}

// Reads what Xvfb writes on its -displayfd pipe: the display number and a line break.
bool ReadDisplayNumber(int fd, std::string* number) {
    char buffer[32];
    size_t used = 0;
    while (used < sizeof buffer - 1) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kXvfbReadyMs) <= 0) return false;
        ssize_t got = read(fd, buffer + used, sizeof buffer - 1 - used);
        if (got <= 0) return false;
        used += static_cast<size_t>(got);
        buffer[used] = '\0';
        if (std::strchr(buffer, '\n') != nullptr) break;
    }
    *number = std::string(buffer, std::strcspn(buffer, "\n"));
    return !number->empty();
}

}  // namespace

ChildProcess::Options WineSession::WineOptions() const {
    ChildProcess::Options options;
    options.environment = {
        {"WINEPREFIX", Prefix()},
        {"WINEDEBUG", "-all"},
        {"DISPLAY", display_},
    };
    options.stderrFile = LogFile();
    return options;
}

bool WineSession::Start(std::string* error) {
    std::error_code ignored;
    fs::create_directories(paths_.workDir, ignored);

    std::string xvfb = FindProgram({"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"});
    if (xvfb.empty()) {
        *error = "Xvfb not found (script/bootstrap installs it)";
        return false;
    }
    int displayPipe[2];
    if (pipe2(displayPipe, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    // Xvfb writes the display number to the descriptor it is given: its stdout here.
    xvfb_ = std::make_unique<ChildProcess>();
    ChildProcess::Options options;
    options.stdoutFd = displayPipe[1];
    options.stderrFile = paths_.workDir + "/xvfb.log";
    bool started = xvfb_->Start({xvfb, "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                                options, error);
    close(displayPipe[1]);
    std::string number;
    bool ready = started && ReadDisplayNumber(displayPipe[0], &number);
    close(displayPipe[0]);
    if (!ready) {
        if (started) *error = "Xvfb did not report a display; see " + options.stderrFile;
        return false;
    }
    display_ = ":" + number;

    // Our own server first, one that ends a minute after its last program: should this
    // runner be killed, no wine process outlives it for long. wine-run then finds it
    // running, creates the prefix on first use (under its lock) and uses it.
    std::string server = FindProgram({"/usr/bin/wineserver", "/usr/lib/wine/wineserver"});
    if (server.empty()) {
        *error = "wineserver not found (script/bootstrap installs wine)";
        return false;
    }
    fs::create_directories(Prefix(), ignored);
    if (RunToEnd({server, "-p60"}, WineOptions(), kServerStopMs, error) < 0) return false;
    ChildProcess::Options wine = WineOptions();
    wine.stdoutFile = LogFile();
    int code = RunToEnd({paths_.wineRun, "cmd", "/c", "exit"}, wine, kPrefixReadyMs, error);
    if (code != 0) {
        if (code > 0) *error = "script/wine-run could not start wine (exit " + std::to_string(code) + "); see " + LogFile();
        return false;
    }
    serverStarted_ = true;
    return true;
}

void WineSession::Stop() {
    if (serverStarted_) {
        std::string server = FindProgram({"/usr/bin/wineserver", "/usr/lib/wine/wineserver"});
        std::string ignored;
        if (!server.empty()) RunToEnd({server, "-k"}, WineOptions(), kServerStopMs, &ignored);
        serverStarted_ = false;
    }
    if (xvfb_) {
        xvfb_->Kill();
        xvfb_.reset();
    }
}

bool WineSession::MapPort(int n, const std::string& target, std::string* error) {
    fs::path link = fs::path(Prefix()) / "dosdevices" / ("com" + std::to_string(n));
    std::error_code code;
    fs::remove(link, code);
    // A dangling link plays a port that does not exist, like no link at all.
    fs::create_symlink(target.empty() ? fs::path(paths_.workDir) / "no-such-port" : fs::path(target), link, code);
    if (code) {
        *error = "cannot link " + link.string() + ": " + code.message();
        return false;
    }
    return true;
}

bool WineSession::StartProgram(ChildProcess* child, const std::string& exeName, const std::vector<std::string>& args,
                               bool pipes, std::string* error) {
    std::vector<std::string> argv = {paths_.wineRun, paths_.windowsBin + "/" + exeName};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess::Options options = WineOptions();
    options.pipeStdin = pipes;
    options.pipeStdout = pipes;
    if (!pipes) options.stdoutFile = LogFile();
    return child->Start(argv, options, error);
}

bool WineSession::Screenshot(const std::string& path, std::string* error) {
    std::string import = FindProgram({"/usr/bin/import", "/usr/local/bin/import"});
    if (import.empty()) {
        *error = "ImageMagick's import not found";
        return false;
    }
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    ChildProcess::Options options;
    options.stderrFile = paths_.workDir + "/import.log";
    int code = RunToEnd({import, "-display", display_, "-window", "root", "-trim", "+repage", path}, options, 30000, error);
    if (code != 0) {
        if (code > 0) *error = "import failed with exit code " + std::to_string(code);
        return false;
    }
    return true;
}

std::string WineSession::WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}
