// What this process holds, read from /proc: open file descriptors and resident memory.
#pragma once
#include <cstdint>

// Entries of /proc/self/fd (the descriptor that reads the folder excluded).
int OpenDescriptorCount();
// Resident set size in KiB (from /proc/self/statm).
uint64_t ResidentKiB();
