#include "dialog_driver_client.h"

#include "dialog_line_escape.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>

namespace {

const int kStopMs = 10000;

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace

bool DialogDriverClient::Start(WineSession& session, std::string* error) {
    pending_.clear();
    return session.StartProgram(&process_, "dialog_driver.exe", {}, /*pipes=*/true, error);
}

bool DialogDriverClient::ReadLine(std::string* line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            *line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line->empty() && line->back() == '\r') line->pop_back();
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd ready{process_.StdoutFd(), POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        ssize_t got = read(process_.StdoutFd(), buffer, sizeof buffer);
        if (got <= 0) return false;  // the driver ended
        pending_.append(buffer, static_cast<size_t>(got));
    }
}

DriverReply DialogDriverClient::Call(const std::string& command, int replyTimeoutMs) {
    if (!process_.Running() || process_.StdinFd() < 0) return {false, "the driver is not running", ""};
    if (!WriteAll(process_.StdinFd(), command + "\n")) return {false, "cannot write to the driver", ""};
    std::string line;
    if (!ReadLine(&line, replyTimeoutMs)) {
        process_.Kill();
        return {false, "no answer from the driver to \"" + command + "\" within " + std::to_string(replyTimeoutMs) +
                           " ms",
                ""};
    }
    if (line == "ok") return {true, "", ""};
    if (line.rfind("ok ", 0) == 0) return {true, Unescape(line.substr(3)), line.substr(3)};
    if (line.rfind("fail ", 0) == 0) return {false, "\"" + command + "\": " + Unescape(line.substr(5)), line};
    return {false, "unexpected answer from the driver: " + line, line};
}

void DialogDriverClient::Stop() {
    if (!process_.Running()) return;
    process_.CloseStdin();
    if (!process_.WaitExit(kStopMs)) process_.Kill();
}

std::string DialogDriverClient::Escape(const std::string& text) { return EscapeDriverText(text); }

std::string DialogDriverClient::Unescape(const std::string& text) { return UnescapeDriverText(text); }
