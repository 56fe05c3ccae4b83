// SimBench on Linux: every port is an in-process pty host whose link lives in a short
// temporary folder ("/tmp/dsXXXXXX/p1"; the device link refuses names over 24 characters).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "pty_host.h"
#include "sim_bench.h"

namespace {

constexpr int kPorts = 5;

struct LocalBench {
    std::mutex mutex;
    std::string dir;
    std::vector<std::unique_ptr<PtyHost>> hosts;  // null: no port

    LocalBench() : hosts(kPorts) {
        char pattern[] = "/tmp/dsXXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("SimBench: mkdtemp");
            std::abort();
        }
        dir = pattern;
    }
    ~LocalBench() {
        hosts.clear();  // stops every unit and removes its link
        rmdir(dir.c_str());
    }

    PtyHost* Host(int i) {
        if (i < 1 || i > kPorts) {
            std::fprintf(stderr, "SimBench: no port %d (ports are 1..%d)\n", i, kPorts);
            std::abort();
        }
        return hosts[static_cast<size_t>(i - 1)].get();
    }
};

LocalBench& Bench() {
    static LocalBench bench;
    return bench;
}

}  // namespace

SimBench& SimBench::Get() {
    static SimBench bench;
    Bench();
    return bench;
}

int SimBench::PortCount() const { return kPorts; }

std::string SimBench::PortName(int i) const { return Bench().dir + "/p" + std::to_string(i); }

void SimBench::Configure(int i, const UnitConfig& config) {
    LocalBench& b = Bench();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.Host(i);  // range check
    auto& slot = b.hosts[static_cast<size_t>(i - 1)];
    slot.reset();
    unlink(PortName(i).c_str());
    if (!config.present) return;
    auto host = std::make_unique<PtyHost>(config, PortName(i));
    std::string error;
    if (!host->Start(&error)) {
        std::fprintf(stderr, "SimBench: cannot start unit on port %d: %s\n", i, error.c_str());
        std::abort();
    }
    slot = std::move(host);
}

std::vector<uint8_t> SimBench::HostBytes(int i) {
    std::lock_guard<std::mutex> lock(Bench().mutex);
    PtyHost* h = Bench().Host(i);
    return h ? h->HostBytes() : std::vector<uint8_t>{};
}

int SimBench::SpeedCommands(int i) {
    std::lock_guard<std::mutex> lock(Bench().mutex);
    PtyHost* h = Bench().Host(i);
    return h ? h->Stats().speedCommands : 0;
}

std::vector<uint8_t> SimBench::ReceivedImage(int i) {
    std::lock_guard<std::mutex> lock(Bench().mutex);
    PtyHost* h = Bench().Host(i);
    return h ? h->ReceivedImage() : std::vector<uint8_t>{};
}

int32_t SimBench::UnitSpeed(int i) {
    std::lock_guard<std::mutex> lock(Bench().mutex);
    PtyHost* h = Bench().Host(i);
    return h ? h->UnitSpeed() : 0;
}

bool SimBench::PortInUse(int i) {
    std::lock_guard<std::mutex> lock(Bench().mutex);
    PtyHost* h = Bench().Host(i);
    return h && h->HeldByOthers();
}
