// drusel-link-demo: the device link at work on one port, with its log lines shown.
//
//   drusel-link-demo PORT
//
// Opens PORT at 115200 bit/s, asks the unit for its firmware version, reads its hardware
// information and closes the port. Every line the device link logs is printed with a
// "log:" prefix; the findings follow. Exit status 0 when every step succeeded.
#include <cstdio>

#include "device_link.h"

namespace {

void PrintLogLine(void* /*context*/, const char* line) { std::printf("  log: %s\n", line); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drusel-link-demo PORT\n");
        return 2;
    }
    LogSink sink;
    sink.callback = PrintLogLine;

    DeviceLink link;
    link.logSink = &sink;

    std::printf("Opening %s at 115200 bit/s\n", argv[1]);
    ResultCode result = link.OpenPort(argv[1], 115200);
    if (result < 0) {
        std::printf("Could not open the port (result %d)\n", result);
        return 1;
    }

    std::printf("Asking for the firmware version\n");
    VersionTriple version{};
    result = link.QueryVersion(&version);
    if (result >= 0) {
        std::printf("Firmware version: %u.%u%c\n", version.major, version.minor, version.letter);
    } else {
        std::printf("Version query failed (result %d)\n", result);
    }

    std::printf("Reading the hardware information\n");
    HardwareInfo info{};
    ResultCode infoResult = link.ReadHardwareInfo(&info);
    if (infoResult >= 0) {
        std::printf("Hardware information (memory 1 to 7):");
        for (uint8_t byte : info.bytes) std::printf(" %02X", byte);
        std::printf("  model letter '%c', attachment letter '%c'\n",
                    info.bytes[0] >= 0x20 && info.bytes[0] < 0x7F ? info.bytes[0] : '.',
                    info.bytes[3] >= 0x20 && info.bytes[3] < 0x7F ? info.bytes[3] : '.');
    } else {
        std::printf("Reading the hardware information failed (result %d)\n", infoResult);
    }

    link.ClosePort();
    return result >= 0 && infoResult >= 0 ? 0 : 1;
}
