// SimBench on Linux: every port is an in-process pty host whose link lives in a short
// temporary folder ("/tmp/dsXXXXXX/p1"; the device link refuses names over 24 characters).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "port_set.h"
#include "sim_bench.h"

namespace {

constexpr int kPorts = 5;

std::string MakeShortTempDir() {
    char pattern[] = "/tmp/dsXXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("SimBench: mkdtemp");
        std::abort();
    }
    return pattern;
}

struct LocalBench {
    const std::string dir = MakeShortTempDir();
    PortSet ports{dir, kPorts, {}};

    ~LocalBench() {
        for (int i = 1; i <= kPorts; ++i) {
            std::string ignored;
            ports.Configure(i, UnitConfig::Absent(), &ignored);
        }
        rmdir(dir.c_str());
    }

    std::shared_ptr<PtyHost> Host(int i) const {
        if (!ports.Valid(i)) {
            std::fprintf(stderr, "SimBench: no port %d (ports are 1..%d)\n", i, kPorts);
            std::abort();
        }
        return ports.Host(i);
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

std::string SimBench::PortName(int i) const { return Bench().ports.PortName(i); }

void SimBench::Configure(int i, const UnitConfig& config) {
    Bench().Host(i);  // range check
    std::string error;
    if (!Bench().ports.Configure(i, config, &error)) {
        std::fprintf(stderr, "SimBench: cannot start the unit on port %d: %s\n", i, error.c_str());
        std::abort();
    }
}

std::vector<uint8_t> SimBench::HostBytes(int i) {
    const auto h = Bench().Host(i);
    return h ? h->HostBytes() : std::vector<uint8_t>{};
}

int SimBench::SpeedCommands(int i) {
    const auto h = Bench().Host(i);
    return h ? h->Stats().speedCommands : 0;
}

std::vector<uint8_t> SimBench::ReceivedImage(int i) {
    const auto h = Bench().Host(i);
    return h ? h->ReceivedImage() : std::vector<uint8_t>{};
}

int32_t SimBench::UnitSpeed(int i) {
    const auto h = Bench().Host(i);
    return h ? h->UnitSpeed() : 0;
}

bool SimBench::UnitWaiting(int i) {
    const auto h = Bench().Host(i);
    return h && h->UnitWaiting();
}

bool SimBench::PortInUse(int i) {
    const auto h = Bench().Host(i);
    return h && h->HeldByOthers();
}
