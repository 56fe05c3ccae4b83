#include "process_usage.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>

int OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1;
}

uint64_t ResidentKiB() {
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return 0;
    unsigned long long size = 0, resident = 0;
    const int got = std::fscanf(statm, "%llu %llu", &size, &resident);
    std::fclose(statm);
    if (got != 2) return 0;
    return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
}
