#include "control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string OkWith(const std::string& value) { return value.empty() ? "ok" : "ok " + value; }

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

ControlServer::~ControlServer() {
    for (Client& c : clients_) close(c.fd);
    if (listenFd_ >= 0) close(listenFd_);
}

bool ControlServer::Listen(int port, int* bound, std::string* error) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof addr;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listenFd_, 8) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        *error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    *bound = ntohs(addr.sin_port);
    return true;
}

void ControlServer::Serve(int stopFd) {
    while (true) {
        std::vector<pollfd> fds{{stopFd, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("drusel-sim: poll");
            return;
        }
        if (fds[0].revents) return;
        // Clients first, by index, before the list can grow.
        std::vector<Client> keep;
        for (size_t i = 0; i < clients_.size(); ++i) {
            if (fds[i + 2].revents && !HandleReadable(clients_[i])) {
                close(clients_[i].fd);
                continue;
            }
            keep.push_back(std::move(clients_[i]));
        }
        clients_.swap(keep);
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients_.push_back(Client{fd, {}});
        }
    }
}

bool ControlServer::HandleReadable(Client& client) {
    char buffer[4096];
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
    if (n <= 0) return n < 0 && errno == EINTR;
    client.pending.append(buffer, static_cast<size_t>(n));
    size_t newline;
    while ((newline = client.pending.find('\n')) != std::string::npos) {
        std::string line = client.pending.substr(0, newline);
        client.pending.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "quit") return false;
        if (!WriteAll(client.fd, Answer(line) + "\n")) return false;
    }
    return client.pending.size() < 65536;  // a line that never ends is not a client
}

std::string ControlServer::Answer(const std::string& request) {
    std::istringstream in(request);
    std::string command;
    in >> command;
    if (command == "ports") return "ok " + std::to_string(ports_.Count());
    int i = 0;
    if (!(in >> i) || !ports_.Valid(i)) return "error no such port in '" + request + "'";
    if (command == "name") return "ok " + ports_.PortName(i);
    if (command == "configure") {
        std::string text;
        std::getline(in, text);
        UnitConfig config;
        std::string error;
        if (!ParseUnitConfig(text, &config, &error) || !ports_.Configure(i, config, &error)) return "error " + error;
        return "ok";
    }
    const auto host = ports_.Host(i);
    if (command == "host-bytes") return OkWith(host ? Hex(host->HostBytes()) : "");
    if (command == "speed-commands") return "ok " + std::to_string(host ? host->Stats().speedCommands : 0);
    if (command == "image") return OkWith(host ? Hex(host->ReceivedImage()) : "");
    if (command == "unit-speed") return "ok " + std::to_string(host ? host->UnitSpeed() : 0);
    if (command == "waiting") return std::string("ok ") + (host && host->UnitWaiting() ? "1" : "0");
    if (command == "garbage") return "ok " + std::to_string(host ? host->GarbageBytes() : 0);
    if (command == "in-use") return std::string("ok ") + (host && host->HeldByOthers() ? "1" : "0");
    if (command == "unit-version") {
        if (!host) return "error port " + std::to_string(i) + " is absent";
        const VersionTriple v = host->UnitVersion();
        return "ok " + std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::string(1, v.letter);
    }
    return "error unknown command '" + command + "'";
}
