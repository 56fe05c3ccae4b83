// A pseudo-terminal that plays the far end of a serial line in the POSIX serial-layer
// tests: the test owns the master, the serial layer opens the slave by its path.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial.h"

class PtyPeer {
public:
    PtyPeer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            throw std::runtime_error("cannot create a pseudo-terminal");
        }
        slavePath_ = name;
    }
    ~PtyPeer() { HangUp(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const char* SlavePath() const { return slavePath_.c_str(); }
    int Master() const { return master_; }

    // The line settings as Linux reports them on the master: those of the slave.
    termios SlaveSettings() const {
        termios tio{};
        tcgetattr(master_, &tio);
        return tio;
    }
    void SetSlaveSettings(const termios& tio) const { tcsetattr(master_, TCSANOW, &tio); }

    void Send(const std::vector<uint8_t>& bytes) const {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t put = write(master_, bytes.data() + sent, bytes.size() - sent);
            if (put <= 0) throw std::runtime_error("peer write failed");
            sent += static_cast<size_t>(put);
        }
    }

    // What the host sent, up to `count` bytes; stops early when nothing comes for `quiet`.
    std::vector<uint8_t> Receive(size_t count, std::chrono::milliseconds quiet =
                                                   std::chrono::milliseconds(2000)) const {
        std::vector<uint8_t> got;
        uint8_t buffer[4096];
        while (got.size() < count) {
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(quiet.count())) <= 0) break;
            ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // Closes the master: the slave side sees the line hang up.
    void HangUp() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

// The device link's own time-outs: 25 ms between bytes, 300 ms in all, 110 ms to write.
inline SerialTimeouts LinkTimeouts(uint32_t readTotal = 300) {
    return SerialTimeouts{25, 0, readTotal, 0, 110};
}

// Opens a port the way the device link does: line settings at `speed`, then its time-outs.
inline PortHandle OpenConfigured(const char* path, uint32_t speed = 115200,
                                 SerialTimeouts timeouts = LinkTimeouts()) {
    PortHandle port = SerialOpen(path);
    if (port == nullptr) return nullptr;
    SerialLineSettings settings{};
    bool ok = SerialGetLineSettings(port, &settings);
    settings.baudRate = speed;
    settings.byteSize = 8;
    settings.parity = 0;
    settings.outxCtsFlow = false;
    settings.outxDsrFlow = false;
    settings.dsrSensitivity = false;
    settings.dtrControl = 1;
    settings.rtsControl = 1;
    ok = ok && SerialSetLineSettings(port, &settings) && SerialSetTimeouts(port, &timeouts);
    if (!ok) {
        SerialClose(port);
        return nullptr;
    }
    return port;
}

// Milliseconds a call took.
template <typename Call>
double MillisecondsOf(Call&& call) {
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
