// What this process holds: open descriptors (Linux: entries of /proc/self/fd; Windows: its
// handle count) and resident memory (resident set, or working set).
#pragma once
#include <cstdint>

// -1 when the system does not tell.
int OpenDescriptorCount();
// In KiB.
uint64_t ResidentKiB();
