// A scratch image file of this fuzzing process, rewritten for every input.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The path (in the temporary folder, one per process).
const std::string& ScratchImagePath();
// Writes `bytes` to the scratch file, then extends it with zeros to `totalSize` bytes
// when that is larger (a sparse tail: an oversized file costs no writing).
void WriteScratchImage(const std::vector<uint8_t>& bytes, uint64_t totalSize = 0);
