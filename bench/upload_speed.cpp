// Upload speed: a 65,536-byte image through the real serial layer to the emulator with
// line-rate pacing on, at each speed. Prints wall time, the uploading thread's CPU time
// and the efficiency: the time the bytes need on the wire (10 bits a byte, both
// directions) divided by the measured time. Then the whole drusel-update flash command at
// each speed, for both ways a unit may take after programming, beside the upload alone.
// Figures only, no pass or fail.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "device_link.h"
#include "flash_command_timing.h"
#include "pty_host.h"

namespace {

constexpr size_t IMAGE_BYTES = 65536;
// Host to unit: header, the image, T. Unit to host: the header's answer, one per block,
// the final status.
constexpr double WIRE_BYTES = (4 + IMAGE_BYTES + 1) + (1 + IMAGE_BYTES / 256 + 1);

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::vector<uint8_t> MakeImage() {
    std::vector<uint8_t> image(IMAGE_BYTES);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < image.size(); ++i) {
        image[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
        sum = static_cast<uint8_t>(sum + image[i]);
    }
    image.back() = sum;
    return image;
}

struct Row {
    int32_t speed;
    ResultCode result;
    bool imageMatches;
    double wall;
    double threadCpu;
    double processCpu;
};

// A paced Kestrale USB on DIR/u; after programming it restarts at 115200 or stays fast.
UnitConfig PacedUnit(bool staysFast) {
    UnitConfig config = UnitConfig::Kestrale('U');
    config.paced = true;
    config.staysAtFastSpeedAfterUpload = staysFast;
    return config;
}

bool Started(PtyHost& host) {
    std::string error;
    if (host.Start(&error)) return true;
    std::fprintf(stderr, "cannot start the emulated unit: %s\n", error.c_str());
    return false;
}

bool Measure(const std::string& dir, const std::string& imagePath, const std::vector<uint8_t>& image,
             int32_t speed, Row* row) {
    const std::string port = dir + "/u";
    PtyHost host(PacedUnit(false), port);
    if (!Started(host)) return false;
    DeviceLink link;
    const char* names[] = {port.c_str()};
    VersionTriple version{};
    if ((link.DiscoverDevice(nullptr, 0, &version, PortList{names, 1}) & KIND_FLASHABLE_MASK) == 0) {
        std::fprintf(stderr, "no flashable unit on %s\n", port.c_str());
        return false;
    }
    if (speed != 115200 && (link.ChangeSpeed(CodeOfSpeed(speed)) != RESULT_OK || link.portOpen != 1)) {
        std::fprintf(stderr, "the unit did not move to %d bit/s\n", speed);
        return false;
    }
    const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto wall0 = std::chrono::steady_clock::now();
    row->result = link.UploadFirmware(imagePath.c_str(), nullptr);
    row->wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    row->threadCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    row->processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    row->speed = speed;
    row->imageMatches = host.ReceivedImage() == image;
    // The unit restarts at 115200 after programming: the host follows without a command.
    link.speedCode = SPEED_115200;
    link.ClosePort();
    return true;
}

// What the discard before each block costs on an open port with nothing waiting (the
// normal case): the mean of many calls, on the same pseudo-terminal the uploads use.
bool MeasureDiscard(const std::string& dir, double* microseconds) {
    const std::string port = dir + "/u";
    PtyHost host(UnitConfig::Kestrale('U'), port);
    std::string error;
    if (!host.Start(&error)) return false;
    DeviceLink link;
    const char* names[] = {port.c_str()};
    VersionTriple version{};
    if ((link.DiscoverDevice(nullptr, 0, &version, PortList{names, 1}) & KIND_FLASHABLE_MASK) == 0) return false;
    constexpr int calls = 20000;
    uint8_t chunk[64];
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        uint32_t taken = 0;
        if (!SerialDiscardInput(link.portHandle, chunk, sizeof chunk, &taken)) return false;
    }
    *microseconds = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / calls;
    link.ClosePort();
    return true;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

#ifdef DRUSEL_UPDATE_PROGRAM
// DRUSEL_UPDATE names another build of the program to compare with.
std::string FlashProgram() {
    const char* other = std::getenv("DRUSEL_UPDATE");
    return other != nullptr && other[0] != '\0' ? other : DRUSEL_UPDATE_PROGRAM;
}

// The whole command against a fresh paced unit that either restarts at 115200 after
// programming or goes on at the upload's speed.
bool MeasureFlashCommand(const std::string& dir, const std::string& imagePath, int32_t speed, bool staysFast,
                         FlashCommandTiming* timing, int32_t* unitSpeedAfter) {
    const std::string port = dir + "/u";
    PtyHost host(PacedUnit(staysFast), port);
    if (!Started(host)) return false;
    const bool ran = TimeFlashCommand(FlashProgram(), port, speed, imagePath, timing);
    *unitSpeedAfter = host.UnitSpeed();
    return ran;
}

// One row per speed and way: the medians of the rounds.
int PrintFlashCommandTable(const std::string& dir, const std::string& imagePath, int rounds,
                           const std::map<int32_t, std::vector<double>>& uploadAlone) {
    std::printf("\nThe whole flash command (%s --json flash, from its start to its exit: identification, "
                "speed switch, upload, the way back and the final report), median of %d round(s)\n\n",
                FlashProgram().c_str(), rounds);
    std::vector<double> starts;
    for (int round = 0; round < rounds; ++round) {
        const double start = TimeProgramStart(FlashProgram(), imagePath);
        if (start >= 0) starts.push_back(start);
    }
    const double programStart = Median(starts);
    std::printf("| Speed (bit/s) | After programming | Upload alone (s) | Flash command (s) | Difference (s) | "
                "Within upload + 0.15 s | Its own upload (s) | The rest (s) | The rest less the program's start (s) |\n");
    std::printf("|---:|---|---:|---:|---:|---|---:|---:|---:|\n");
    int failures = 0;
    for (int32_t speed : {115200, 230400, 460800, 921600}) {
        for (bool staysFast : {false, true}) {
            std::vector<double> walls;
            std::vector<double> uploads;
            for (int round = 0; round < rounds; ++round) {
                FlashCommandTiming timing;
                int32_t unitSpeed = 0;
                const bool ran = MeasureFlashCommand(dir, imagePath, speed, staysFast, &timing, &unitSpeed);
                if (!ran || timing.exitCode != 0 || unitSpeed != 115200) {
                    std::printf("| %d | %s | FAILED: exit %d, unit left at %d bit/s |\n", speed,
                                staysFast ? "stays at the speed" : "restarts at 115200", timing.exitCode, unitSpeed);
                    ++failures;
                    continue;
                }
                walls.push_back(timing.wall);
                uploads.push_back(timing.uploadSeconds);
            }
            if (walls.empty()) continue;
            const auto alone = uploadAlone.find(speed);
            const double upload = alone == uploadAlone.end() ? 0 : Median(alone->second);
            const double wall = Median(walls);
            const double own = Median(uploads);
            std::printf("| %d | %s | %.3f | %.3f | %.3f | %s | %.3f | %.3f | %.3f |\n", speed,
                        staysFast ? "stays at the speed" : "restarts at 115200", upload, wall, wall - upload,
                        wall - upload <= 0.15 ? "yes" : "no", own, wall - own, wall - own - programStart);
            std::fflush(stdout);
        }
    }
    std::printf("\nUpload alone: the median of the table above. The rest: the command's time less its own upload, "
                "as it reported it. The program's start: drusel-update check of the same image (start, reading the "
                "image, the report, the exit), %.3f s.\n",
                programStart);
    return failures;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 1;
    if (rounds < 1) rounds = 1;
    char pattern[] = "/tmp/dubXXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::vector<uint8_t> image = MakeImage();
    const std::string imagePath = dir + "/image.enc";
    FILE* file = std::fopen(imagePath.c_str(), "wb");
    if (file == nullptr || std::fwrite(image.data(), 1, image.size(), file) != image.size()) {
        std::perror(imagePath.c_str());
        return 1;
    }
    std::fclose(file);

    std::printf("Upload of a %zu-byte image, emulator paced at the line rate, %d round(s) per speed\n\n",
                IMAGE_BYTES, rounds);
    std::printf("| Speed (bit/s) | Wire time (s) | Wall time (s) | Host thread CPU (s) | Process CPU (s) | Efficiency | Result |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---|\n");
    int failures = 0;
    std::map<int32_t, std::vector<double>> uploadAlone;
    for (int32_t speed : {115200, 230400, 460800, 921600}) {
        for (int round = 0; round < rounds; ++round) {
            Row row{};
            if (!Measure(dir, imagePath, image, speed, &row)) {
                ++failures;
                continue;
            }
            const double wire = WIRE_BYTES * 10 / speed;
            const bool ok = row.result == RESULT_OK && row.imageMatches;
            if (!ok) ++failures;
            else uploadAlone[speed].push_back(row.wall);
            std::printf("| %d | %.3f | %.3f | %.3f | %.3f | %.3f | %s |\n", speed, wire, row.wall, row.threadCpu,
                        row.processCpu, wire / row.wall,
                        ok ? "ok, image matches" : ("FAILED " + std::to_string(row.result)).c_str());
            std::fflush(stdout);
        }
    }
    std::printf("\nProcess CPU includes the emulator's own thread, which runs in this process.\n");
#ifdef DRUSEL_UPDATE_PROGRAM
    failures += PrintFlashCommandTable(dir, imagePath, rounds, uploadAlone);
#endif
    double discard = 0;
    if (MeasureDiscard(dir, &discard)) {
        // A block is 256 bytes (257 with T) at 10 bits a byte.
        std::printf("\nDiscard of waiting input before a block, nothing waiting: %.2f us a block, "
                    "%.3f %% of a block's wire time at 921600 bit/s (%.0f us).\n",
                    discard, 100.0 * discard / (2560e6 / 921600), 2560e6 / 921600);
    } else {
        std::printf("\nDiscard measurement FAILED\n");
        ++failures;
    }
    unlink(imagePath.c_str());
    rmdir(dir.c_str());
    return failures == 0 ? 0 : 1;
}
