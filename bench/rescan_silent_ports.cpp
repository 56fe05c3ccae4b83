// How long one discovery over five silent ports takes: the dialog's rescan when no unit
// answers, which runs on its interface thread. Each port opens, takes the version query
// and stays silent for the query's whole read time-out.
//
//   rescan_silent_ports [ROUNDS]      (default 10)
//
// The ports are the test bench's: pty ports in-process natively; under wine (through
// DRUSEL_WITH_SIM=1 script/wine-run) COM1 to COM5 mapped onto the emulator. Prints the
// minimum, median and maximum over the rounds, and the kind found (0 expected).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device_link.h"
#include "sim_bench.h"

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: rescan_silent_ports [ROUNDS]\n");
        return 2;
    }
    SimBench& bench = SimBench::Get();
    if (bench.PortCount() < 5) {
        std::fprintf(stderr, "rescan_silent_ports: the bench has %d ports, 5 are needed\n", bench.PortCount());
        return 1;
    }
    std::vector<std::string> names;
    for (int i = 1; i <= 5; ++i) {
        bench.Configure(i, UnitConfig::Silent());
        names.push_back(bench.PortName(i));
    }
    const char* list[5];
    for (int i = 0; i < 5; ++i) list[i] = names[static_cast<size_t>(i)].c_str();
    const PortList ports{list, 5};

    DeviceLink link;
    std::vector<double> samples;
    DeviceKind kind = 0;
    for (int round = 0; round < rounds; ++round) {
        char description[260] = {};
        VersionTriple version{};
        const auto start = std::chrono::steady_clock::now();
        kind = link.DiscoverDevice(description, sizeof description, &version, ports);
        const auto end = std::chrono::steady_clock::now();
        link.ClosePort();  // as the dialog does when nothing flashable answered
        samples.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    const double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    std::printf("discovery over 5 silent ports (%s), %d rounds: min %.1f  median %.1f  max %.1f ms; kind %d\n",
                names[0].c_str(), rounds, samples.front(), median, samples.back(), static_cast<int>(kind));
    return 0;
}
