// SimBench under wine: the units run in the Linux emulator that script/with-sim started, its
// ports are mapped as COM1..COM5, and this bench speaks the emulator's control channel
// (sim/control_server.h) on the loopback address named by DRUSEL_SIM_CONTROL ("127.0.0.1:P").
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "sim_bench.h"

namespace {

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "SimBench: %s\n", why.c_str());
    std::fflush(stderr);
    std::abort();
}

class ControlChannel {
public:
    ControlChannel() {
        const char* where = std::getenv("DRUSEL_SIM_CONTROL");
        if (!where || !*where) Fail("DRUSEL_SIM_CONTROL is not set: run under script/with-sim (DRUSEL_WITH_SIM=1)");
        const std::string address = where;
        const size_t colon = address.rfind(':');
        if (colon == std::string::npos) Fail("DRUSEL_SIM_CONTROL is not HOST:PORT: " + address);
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) Fail("WSAStartup failed");
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<u_short>(std::atoi(address.c_str() + colon + 1)));
        if (socket_ == INVALID_SOCKET ||
            inet_pton(AF_INET, address.substr(0, colon).c_str(), &addr.sin_addr) != 1 ||
            connect(socket_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            Fail("cannot reach the emulator at " + address + " (WSA error " + std::to_string(WSAGetLastError()) + ")");
        }
    }
    ~ControlChannel() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        WSACleanup();
    }

    // Sends one request line; returns what follows "ok" in the answer (without the blank).
    std::string Ask(const std::string& request) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string line = request + "\n";
        for (size_t done = 0; done < line.size();) {
            const int n = send(socket_, line.data() + done, static_cast<int>(line.size() - done), 0);
            if (n <= 0) Fail("lost the emulator while sending '" + request + "'");
            done += static_cast<size_t>(n);
        }
        size_t newline;
        while ((newline = pending_.find('\n')) == std::string::npos) {
            char buffer[4096];
            const int n = recv(socket_, buffer, sizeof buffer, 0);
            if (n <= 0) Fail("lost the emulator while waiting for '" + request + "'");
            pending_.append(buffer, static_cast<size_t>(n));
        }
        std::string answer = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        if (answer.rfind("ok", 0) != 0) Fail("'" + request + "': " + answer);
        return answer.size() > 3 ? answer.substr(3) : "";
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
    std::mutex mutex_;
    std::string pending_;
};

ControlChannel& Channel() {
    static ControlChannel channel;
    return channel;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return bytes;
}

std::string Port(const char* command, int i) { return std::string(command) + " " + std::to_string(i); }

}  // namespace

SimBench& SimBench::Get() {
    static SimBench bench;
    Channel();
    return bench;
}

int SimBench::PortCount() const { return std::atoi(Channel().Ask("ports").c_str()); }

std::string SimBench::PortName(int i) const { return "COM" + std::to_string(i); }

void SimBench::Configure(int i, const UnitConfig& config) {
    Channel().Ask(Port("configure", i) + " " + FormatUnitConfig(config));
}

std::vector<uint8_t> SimBench::HostBytes(int i) { return FromHex(Channel().Ask(Port("host-bytes", i))); }

int SimBench::SpeedCommands(int i) { return std::atoi(Channel().Ask(Port("speed-commands", i)).c_str()); }

std::vector<uint8_t> SimBench::ReceivedImage(int i) { return FromHex(Channel().Ask(Port("image", i))); }

int32_t SimBench::UnitSpeed(int i) { return std::atoi(Channel().Ask(Port("unit-speed", i)).c_str()); }

bool SimBench::UnitWaiting(int i) { return Channel().Ask(Port("waiting", i)) == "1"; }

bool SimBench::PortInUse(int i) { return Channel().Ask(Port("in-use", i)) == "1"; }
