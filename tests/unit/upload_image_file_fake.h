// A scripted image file layer (image_file.h with no real file), for the file faults a
// real file system will not produce on demand: a size that cannot be read, a read that
// fails or comes back short. It also counts opens and closes, so a test sees leaks.
#pragma once
#include <cstdint>
#include <vector>

struct FakeImageFile {
    std::vector<uint8_t> content;
    bool openFails = false;
    bool sizeFails = false;
    uint64_t reportedSize = 0;   // what the size query says (set by SetContent)
    bool readFails = false;
    int64_t readDeliversAtMost = -1;  // -1: as asked
    int opens = 0;
    int closes = 0;
    int reads = 0;

    static FakeImageFile& Get();
    void Reset();
    void SetContent(std::vector<uint8_t> bytes);
};
