// How closely the serial layer keeps the read time-outs the device link relies on.
//
//   read_timeout_accuracy PORT [ROUNDS]
//
// PORT is a line to a peer that stays silent unless asked: every byte b it receives makes
// it answer b bytes at once (bench/pty_trigger_peer_posix.cpp; script/bench-read-timeouts
// starts it and maps it as a COM port under wine). Prints, per measurement, the minimum,
// median and maximum over ROUNDS reads (default 20):
//   - a silent read with the total read time-out at 300 ms and at 110 ms;
//   - the interval stop: the peer answers 4 bytes to a read of 64 with a 25 ms interval
//     and a 2000 ms total; the read's length minus the median round trip of an exact
//     4-byte read is the time from the last byte to the read's return.
// Written against the serial layer's header only, so the same source measures every layer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "serial.h"

namespace {

constexpr uint32_t kIntervalMs = 25;
constexpr uint32_t kWriteTimeoutMs = 110;
constexpr uint8_t kAnswerBytes = 4;

struct Figures {
    double min;
    double median;
    double max;
};

Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    size_t n = samples.size();
    double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {samples.front(), median, samples.back()};
}

void Print(const char* what, const Figures& f, const char* note = "") {
    std::printf("  %-44s min %8.2f  median %8.2f  max %8.2f ms%s\n", what, f.min, f.median, f.max,
                note);
}

bool SetTimeouts(PortHandle port, uint32_t readTotalMs) {
    SerialTimeouts timeouts{kIntervalMs, 0, readTotalMs, 0, kWriteTimeoutMs};
    return SerialSetTimeouts(port, &timeouts);
}

// One read of `count` bytes; its length in milliseconds, or a negative value on failure.
double TimedRead(PortHandle port, uint32_t count, uint32_t* received) {
    std::vector<uint8_t> buffer(count);
    auto start = std::chrono::steady_clock::now();
    bool ok = SerialRead(port, buffer.data(), count, received);
    auto end = std::chrono::steady_clock::now();
    return ok ? std::chrono::duration<double, std::milli>(end - start).count() : -1;
}

// Asks the peer for kAnswerBytes bytes, then times a read of `count`.
double TimedAnsweredRead(PortHandle port, uint32_t count, uint32_t* received) {
    uint8_t request = kAnswerBytes;
    uint32_t written = 0;
    if (!SerialPurge(port) || !SerialWrite(port, &request, 1, &written) || written != 1) return -1;
    return TimedRead(port, count, received);
}

bool MeasureSilentReads(PortHandle port, uint32_t totalMs, int rounds) {
    if (!SetTimeouts(port, totalMs)) return false;
    std::vector<double> samples;
    int withBytes = 0;
    for (int i = 0; i < rounds; ++i) {
        uint32_t received = 0;
        double ms = TimedRead(port, 16, &received);
        if (ms < 0) return false;
        if (received != 0) ++withBytes;
        samples.push_back(ms);
    }
    char what[64];
    std::snprintf(what, sizeof what, "silent read, %u ms asked", totalMs);
    Print(what, Summarise(samples), withBytes == 0 ? "" : "  (some reads got bytes: peer not silent)");
    return true;
}

bool MeasureIntervalStop(PortHandle port, int rounds) {
    if (!SetTimeouts(port, 2000)) return false;
    std::vector<double> roundTrips;
    std::vector<double> stops;
    int wrongCounts = 0;
    for (int i = 0; i < rounds; ++i) {
        uint32_t received = 0;
        double ms = TimedAnsweredRead(port, kAnswerBytes, &received);
        if (ms < 0) return false;
        if (received != kAnswerBytes) ++wrongCounts;
        roundTrips.push_back(ms);
    }
    for (int i = 0; i < rounds; ++i) {
        uint32_t received = 0;
        double ms = TimedAnsweredRead(port, 64, &received);
        if (ms < 0) return false;
        if (received != kAnswerBytes) ++wrongCounts;
        stops.push_back(ms);
    }
    Figures trip = Summarise(roundTrips);
    Figures stop = Summarise(stops);
    std::vector<double> afterLastByte;
    for (double ms : stops) afterLastByte.push_back(ms - trip.median);
    Print("exact 4-byte read (round trip)", trip);
    Print("4 of 64 bytes, 25 ms interval: whole read", stop);
    Print("  of which after the last byte", Summarise(afterLastByte));
    if (wrongCounts > 0) std::printf("  (%d reads got another count than 4)\n", wrongCounts);
    return true;
}

PortHandle OpenLikeTheDeviceLink(const char* name) {
    PortHandle port = SerialOpen(name);
    if (port == nullptr) return nullptr;
    SerialLineSettings settings{};
    bool ok = SerialSetupQueues(port, 1024, 1024) && SerialGetLineSettings(port, &settings);
    settings.baudRate = 115200;
    settings.byteSize = 8;
    settings.parity = 0;
    settings.outxCtsFlow = false;
    settings.outxDsrFlow = false;
    settings.dsrSensitivity = false;
    settings.dtrControl = 1;
    settings.rtsControl = 1;
    if (!ok || !SerialSetLineSettings(port, &settings)) {
        SerialClose(port);
        return nullptr;
    }
    return port;
}

void ReportFailure(const char* step) {
    char text[256];
    uint32_t error = SerialLastError();
    SerialErrorText(error, text, sizeof text);
    std::fprintf(stderr, "read_timeout_accuracy: %s failed: error %u (%s)\n", step, error, text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s PORT [ROUNDS]\n", argv[0]);
        return 2;
    }
    int rounds = argc == 3 ? std::atoi(argv[2]) : 20;
    if (rounds < 1) rounds = 1;
    PortHandle port = OpenLikeTheDeviceLink(argv[1]);
    if (port == nullptr) {
        ReportFailure("opening the port");
        return 1;
    }
    std::printf("read time-outs on %s, %d reads each\n", argv[1], rounds);
    bool ok = MeasureSilentReads(port, 300, rounds) && MeasureSilentReads(port, 110, rounds) &&
              MeasureIntervalStop(port, rounds);
    if (!ok) ReportFailure("a measurement");
    SerialClose(port);
    return ok ? 0 : 1;
}
