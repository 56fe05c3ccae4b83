// The far end of a serial line for the read time-out benchmark (Linux only).
//
//   drusel-bench-peer LINK
//
// Creates a pseudo-terminal, links its slave to LINK (so the native benchmark, or wine's
// COM mapping, can open it as a port), prints "ready" and then stays silent, except that
// each byte b from 1 to 255 it receives makes it answer b bytes in one write: the host
// decides when a few bytes come and the silence after them begins. Runs until SIGINT or
// SIGTERM, then removes LINK.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

volatile sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

bool WriteAll(int fd, const unsigned char* data, size_t count) {
    while (count > 0) {
        ssize_t put = write(fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LINK\n", argv[0]);
        return 2;
    }
    const char* link = argv[1];
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char slavePath[128] = {};
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, slavePath, sizeof slavePath) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    // Holding the slave open keeps the master readable between the benchmark's own opens.
    int slave = open(slavePath, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (slave < 0 || tcgetattr(slave, &raw) != 0) {
        std::perror(slavePath);
        return 1;
    }
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    unlink(link);
    if (symlink(slavePath, link) != 0) {
        std::perror(link);
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<unsigned char> answer;
    unsigned char request[256];
    int status = 0;
    while (stopRequested == 0) {
        pollfd entry{master, POLLIN, 0};
        int ready = poll(&entry, 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            status = 1;
            break;
        }
        ssize_t got = read(master, request, sizeof request);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) {
            status = 1;
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            answer.assign(request[i], 0x55);
            if (!answer.empty() && !WriteAll(master, answer.data(), answer.size())) status = 1;
        }
    }
    unlink(link);
    close(slave);
    close(master);
    return status;
}
