// A bare POSIX host end on an emulated port, for the emulator's own tests: open, raw
// termios at a given speed, whole writes, reads bounded by a quiet time.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace sim_test {

using Bytes = std::vector<uint8_t>;

inline speed_t TermiosSpeed(int32_t bps) {
    switch (bps) {
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return B115200;
    }
}

// A raw 8N1 host end on the link at the given speed.
class HostPort {
public:
    HostPort(const std::string& path, int32_t speed) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ >= 0) SetSpeed(speed);
    }
    ~HostPort() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void SetSpeed(int32_t speed) {
        termios tio {};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, TermiosSpeed(speed));
        cfsetospeed(&tio, TermiosSpeed(speed));
        tcsetattr(fd_, TCSANOW, &tio);
    }

    void Write(const Bytes& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Up to n bytes, waiting at most `quietMs` for each next one.
    Bytes Read(size_t n, int quietMs) {
        Bytes got;
        while (got.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) break;
            uint8_t buf[512];
            const ssize_t r = read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0) break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }

private:
    int fd_ = -1;
};

}  // namespace sim_test
