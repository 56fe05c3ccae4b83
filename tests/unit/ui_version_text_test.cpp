// The dialog's version text "%.2i.%.2i.%c".
#include <gtest/gtest.h>

#include <cstring>

#include "version_text.h"

namespace {

struct VersionCase {
    VersionTriple version;
    const char* text;
};

TEST(VersionText, PadsNumbersToTwoDigits) {
    const VersionCase cases[] = {
        {{1, 5, 'A'}, "01.05.A"},
        {{12, 0, 'F'}, "12.00.F"},
        {{200, 7, 'x'}, "200.07.x"},
        {{255, 255, 'x'}, "255.255.x"},  // the longest text: 9 characters
        {{0, 0, 'Z'}, "00.00.Z"},
        {{9, 10, '2'}, "09.10.2"},
    };
    for (const VersionCase& c : cases) {
        char text[VERSION_TEXT_CAPACITY];
        FormatVersionText(c.version, text, sizeof text);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(VersionText, NumbersAreUnsignedBytes) {
    // 0xFF must not come out as -1.
    char text[VERSION_TEXT_CAPACITY];
    FormatVersionText(VersionTriple{0xFF, 0x80, 'q'}, text, sizeof text);
    EXPECT_STREQ(text, "255.128.q");
}

TEST(VersionText, SmallBufferIsCutAndTerminated) {
    char text[6];
    std::memset(text, 'x', sizeof text);
    FormatVersionText(VersionTriple{255, 255, 'x'}, text, sizeof text);
    EXPECT_STREQ(text, "255.2");
}

}  // namespace
