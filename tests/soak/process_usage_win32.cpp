#include <windows.h>
#include <psapi.h>

#include "process_usage.h"

int OpenDescriptorCount() {
    DWORD count = 0;
    // A Windows process always holds some handles: 0 means the count is not kept (wine).
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) return -1;
    return static_cast<int>(count);
}

uint64_t ResidentKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<uint64_t>(counters.WorkingSetSize) / 1024;
}
