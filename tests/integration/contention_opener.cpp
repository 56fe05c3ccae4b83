// A second program for the contention tests: opens one port with its own device link and
// prints what happened, "RESULT OSERROR BUSY NOSUCHPORT" (the last two 0 or 1), then
// releases the port. With --hold MS it keeps an opened port that long before releasing it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "device_link.h"

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--hold") == 0)) {
        std::fprintf(stderr, "usage: contention_opener PORT [--hold MS]\n");
        return 2;
    }
    DeviceLink link;
    const ResultCode result = link.OpenPort(argv[1], 115200);
    std::printf("%d %u %d %d\n", result, link.lastOsError, SerialErrorIsBusy(link.lastOsError) ? 1 : 0,
                SerialErrorIsNoSuchPort(link.lastOsError) ? 1 : 0);
    std::fflush(stdout);
    if (result == RESULT_OK && argc == 4) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
    link.ClosePort();
    return 0;
}
