// drusel-sim: plays the units on pseudo-terminals for the updater's tests, demos and benchmarks.
//
//   drusel-sim --link PATH [--unit TEXT] [--paced] [--trace FILE] [--image-out FILE]
//   drusel-sim --ports N --dir DIR [--unit TEXT]... [--control-port P] [--paced] [--trace FILE]
//
// It runs until SIGINT or SIGTERM, then hangs up its lines, removes its links and exits 0.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <mutex>

#include "control_server.h"
#include "port_set.h"
#include "pty_host.h"

namespace {

constexpr const char* kUnitHelp = R"(Unit text: BASE then options, separated by blanks.
  BASE    kestrale[:U|:S] (USB or serial-line Kestrale, model letter A), gristpell (F),
          tamberlin1 (1), tamberlin2 (2), unit (blank memory, version 1.5.A),
          silent (a port with no answer), absent (no port at all)
  version=MAJ.MIN.L      version reported before an upload (kestrale: 1.5.A)
  after=MAJ.MIN.L        version reported after a good upload (default: minor + 1)
  mem=ADDR:HEX           memory bytes from ADDR on (address 1: model, 4: attachment)
  memsize=N              memory size in bytes (256); reads past it give 0xFF
  paced                  talk at the simulated line rate, 10 bits a byte
  stays-fast             keep the fast speed after programming (default: back to 115200)
  mute-after             answer nothing once programmed
  mute                   take bytes, answer nothing
  fault=STEP[:INDEX]:ACTION[:ARG], repeatable, applied every time the step comes:
    STEP    version | read[:ADDR] | speed[:N] (the Nth 'S', 0-based) | header | block[:K] (0-based) | final
    ACTION  byte:B (answer B instead; for read: the first data byte) | silence | hangup |
            short:N (only N bytes of the reply) | badsum (read: checksum plus one)
    B       decimal, 0xHEX, or one non-digit character
  Example: "kestrale:U version=1.5.A after=1.6.A fault=block:3:byte:0x52")";

constexpr const char* kFooter = R"(
Single unit: --link makes one pty and links PATH to it (an existing link is replaced);
prints "ready PATH" when it serves.

Several ports: --ports N --dir DIR makes links DIR/p1..DIR/pN; the --unit texts, in order,
configure p1, p2, ...; ports without one are absent (no link) until configured over the
control channel. With --control-port P it listens on 127.0.0.1:P (0: any free port) and
prints "control-port P" when ready, otherwise "ready DIR". The control channel is a line
protocol described in sim/README.md (ports, name, configure, host-bytes, speed-commands,
image, unit-speed, unit-version, garbage, in-use, quit).

Trace lines: "SECONDS H> hex" host bytes, "H?" bytes sent at the wrong speed, "U> hex" unit
bytes, "U?" answer bytes lost, "-- speed BPS", "-- hangup"; prefixed "pI " with --ports.
Exit: 0 after SIGINT/SIGTERM; 1 on a start-up failure; 2 on a usage error.)";

struct Settings {
    std::string link;
    int ports = 0;
    std::string dir;
    std::vector<std::string> units;
    int controlPort = -1;
    bool paced = false;
    std::string traceFile;
    std::string imageOut;
};

// Blocks SIGINT and SIGTERM in every thread and returns a descriptor that reports them.
int SignalDescriptor() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

void WaitForSignal(int fd) {
    signalfd_siginfo info {};
    while (read(fd, &info, sizeof info) < 0 && errno == EINTR) {
    }
}

class TraceFile {
public:
    bool Open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "w");
        return file_ != nullptr;
    }
    ~TraceFile() {
        if (file_) std::fclose(file_);
    }
    void Write(const std::string& prefix, const TraceRecord& record) {
        if (!file_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        std::fprintf(file_, "%s%s\n", prefix.c_str(), FormatTraceLine(record).c_str());
        std::fflush(file_);
    }

private:
    std::FILE* file_ = nullptr;
    std::mutex mutex_;
};

bool WriteImage(const std::string& path, const std::vector<uint8_t>& image) {
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    return std::fclose(f) == 0 && ok && std::rename(temp.c_str(), path.c_str()) == 0;
}

int RunSingle(const Settings& s, TraceFile& trace, int signals) {
    UnitConfig config = UnitConfig::Kestrale();
    std::string error;
    if (!s.units.empty() && !ParseUnitConfig(s.units[0], &config, &error)) {
        std::fprintf(stderr, "drusel-sim: --unit: %s\n", error.c_str());
        return 2;
    }
    if (!config.present) {
        std::fprintf(stderr, "drusel-sim: --link needs a unit that is present\n");
        return 2;
    }
    if (s.paced) config.paced = true;
    PtyHost host(config, s.link);
    host.OnTrace([&trace](const TraceRecord& r) { trace.Write("", r); });
    if (!s.imageOut.empty()) {
        host.OnImage([&s](const std::vector<uint8_t>& image) {
            if (!WriteImage(s.imageOut, image)) std::perror(("drusel-sim: " + s.imageOut).c_str());
        });
    }
    if (!host.Start(&error)) {
        std::fprintf(stderr, "drusel-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready %s\n", s.link.c_str());
    std::fflush(stdout);
    WaitForSignal(signals);
    return 0;
}

int RunPorts(const Settings& s, TraceFile& trace, int signals) {
    PortSet::Options options;
    options.forcePaced = s.paced;
    options.onTrace = [&trace](int port, const TraceRecord& r) { trace.Write("p" + std::to_string(port) + " ", r); };
    PortSet ports(s.dir, s.ports, options);
    for (size_t i = 0; i < s.units.size(); ++i) {
        UnitConfig config;
        std::string error;
        if (static_cast<int>(i) >= s.ports || !ParseUnitConfig(s.units[i], &config, &error)) {
            std::fprintf(stderr, "drusel-sim: --unit %zu: %s\n", i + 1, error.empty() ? "more units than ports" : error.c_str());
            return 2;
        }
        if (!ports.Configure(static_cast<int>(i) + 1, config, &error)) {
            std::fprintf(stderr, "drusel-sim: port %zu: %s\n", i + 1, error.c_str());
            return 1;
        }
    }
    if (s.controlPort < 0) {
        std::printf("ready %s\n", s.dir.c_str());
        std::fflush(stdout);
        WaitForSignal(signals);
        return 0;
    }
    ControlServer server(ports);
    int bound = 0;
    std::string error;
    if (!server.Listen(s.controlPort, &bound, &error)) {
        std::fprintf(stderr, "drusel-sim: control channel: %s\n", error.c_str());
        return 1;
    }
    std::printf("control-port %d\n", bound);
    std::fflush(stdout);
    server.Serve(signals);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"drusel-sim: emulated Kestrale, Grist & Pell and Tamberlin units on pseudo-terminals", "drusel-sim"};
    app.footer(std::string(kUnitHelp) + "\n" + kFooter);
    app.set_version_flag("--version", std::string("drusel-sim ") + DRUSEL_VERSION_TEXT);
    Settings s;
    auto* link = app.add_option("--link", s.link, "Play one unit on a pty linked at PATH");
    auto* ports = app.add_option("--ports", s.ports, "Play N ports DIR/p1..DIR/pN")->check(CLI::Range(1, 64));
    auto* dir = app.add_option("--dir", s.dir, "Folder of the port links (with --ports)")->check(CLI::ExistingDirectory);
    app.add_option("--unit", s.units, "Unit text (see below); with --ports one per port, in order");
    auto* control = app.add_option("--control-port", s.controlPort, "Control channel on 127.0.0.1:P (0: any)")
                        ->check(CLI::Range(0, 65535));
    app.add_flag("--paced", s.paced, "Pace every unit at its simulated line rate");
    app.add_option("--trace", s.traceFile, "Write every byte each way to FILE");
    auto* image = app.add_option("--image-out", s.imageOut, "Write each image received completely to FILE");
    link->excludes(ports)->excludes(dir)->excludes(control);
    image->needs(link);
    ports->needs(dir);
    dir->needs(ports);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help is a success; every other parse failure is a usage error, exit status 2.
        const int helpStatus = app.exit(e);
        return e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success) ? helpStatus : 2;
    }
    if (s.link.empty() && s.ports == 0) {
        std::fprintf(stderr, "drusel-sim: give --link PATH or --ports N --dir DIR (see --help)\n");
        return 2;
    }

    TraceFile trace;
    if (!s.traceFile.empty() && !trace.Open(s.traceFile)) {
        std::perror(("drusel-sim: " + s.traceFile).c_str());
        return 1;
    }
    const int signals = SignalDescriptor();
    if (signals < 0) {
        std::perror("drusel-sim: signalfd");
        return 1;
    }
    const int status = s.link.empty() ? RunPorts(s, trace, signals) : RunSingle(s, trace, signals);
    close(signals);
    return status;
}
