// DescribeDevice: the description text for every kind, and its bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "device_link.h"

namespace {

struct DescribeCase {
    const char* name;
    DeviceKind kind;
    bool withVersion;
    const char* before;    // the buffer's text before the call
    const char* expected;  // the buffer's text after it
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DescribeCase& c, std::ostream* os) { *os << c.name; }

const VersionTriple kVersion{1, 5, 'A'};

const DescribeCase kCases[] = {
    {"TamberlinI", KIND_TAMBERLIN_I, true, "", "Tamberlin I v1.5.A"},
    {"TamberlinII", KIND_TAMBERLIN_II, true, "", "Tamberlin II v1.5.A"},
    {"Kestrale", KIND_KESTRALE, true, "", "Kestrale v1.5.A"},
    {"KestraleUsb", 0x41, true, "", "Kestrale USB v1.5.A"},
    {"KestraleSerial", 0x81, true, "", "Kestrale Serial v1.5.A"},
    {"GristPell", KIND_GRIST_PELL, true, "", "Grist & Pell v1.5.A"},
    // The model name replaces whatever the buffer held.
    {"ModelReplacesOldText", KIND_KESTRALE, true, "Not Found", "Kestrale v1.5.A"},
    // Contradictory model bits write nothing at all, not even the version.
    {"BothTamberlinsUntouched", 0x0C, true, "old text", "old text"},
    {"KestraleAndGristPellUntouched", 0x03, true, "old text", "old text"},
    // The later model name stands.
    {"KestraleOverTamberlinI", 0x09, true, "", "Kestrale v1.5.A"},
    {"GristPellOverTamberlinII", 0x06, true, "", "Grist & Pell v1.5.A"},
    // All variant suffixes, in their fixed order.
    {"AllVariantsInOrder", 0xF1, true, "", "Kestrale USB Serial 1MBit 4MBit v1.5.A"},
    // Variant bits without the Kestrale bit are ignored; only the suffix is appended.
    {"VariantsAloneAppendSuffix", 0xF0, true, "abc", "abc v1.5.A"},
    {"ZeroAppendsSuffix", 0, true, "abc", "abc v1.5.A"},
    {"ZeroOnEmptyIsSuffixAlone", 0, true, "", " v1.5.A"},
    {"BitsAboveEightIgnored", 0x101, true, "", "Kestrale v1.5.A"},
    // No version: no suffix.
    {"NullVersionNoSuffix", 0x41, false, "", "Kestrale USB"},
    {"NullVersionZeroKindUntouched", 0, false, "keep", "keep"},
};

class DescribeDeviceTest : public ::testing::TestWithParam<DescribeCase> {};

TEST_P(DescribeDeviceTest, WritesTheExpectedText) {
    const DescribeCase& c = GetParam();
    char text[260];
    std::memset(text, 'x', sizeof text);
    std::strcpy(text, c.before);
    DeviceLink::DescribeDevice(c.kind, c.withVersion ? &kVersion : nullptr, text, sizeof text);
    EXPECT_STREQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DescribeDeviceTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DescribeCase>& p) { return p.param.name; });

TEST(DescribeDevice, VersionNumbersWithoutLeadingZerosAndFullRange) {
    char text[64] = "";
    VersionTriple v{1, 0, 'A'};
    DeviceLink::DescribeDevice(0, &v, text, sizeof text);
    EXPECT_STREQ(text, " v1.0.A");
    v = VersionTriple{255, 200, 'F'};
    DeviceLink::DescribeDevice(KIND_GRIST_PELL, &v, text, sizeof text);
    EXPECT_STREQ(text, "Grist & Pell v255.200.F");
}

TEST(DescribeDevice, NullBufferIsIgnored) {
    DeviceLink::DescribeDevice(0x41, &kVersion, nullptr, 260);  // must not crash
    char text[4] = "abc";
    DeviceLink::DescribeDevice(0x41, &kVersion, text, 0);  // no room: nothing written
    EXPECT_STREQ(text, "abc");
}

// The cut keeps the text terminated and never touches a byte past the capacity.
TEST(DescribeDevice, TextIsCutAtTheCapacity) {
    struct Cut {
        size_t capacity;
        const char* expected;
    };
    const Cut cuts[] = {{1, ""}, {2, "K"}, {9, "Kestrale"}, {12, "Kestrale US"}, {20, "Kestrale USB v1.5.A"}};
    for (const Cut& cut : cuts) {
        char text[32];
        std::memset(text, '#', sizeof text);
        text[0] = '\0';
        DeviceLink::DescribeDevice(0x41, &kVersion, text, cut.capacity);
        EXPECT_STREQ(text, cut.expected) << "capacity " << cut.capacity;
        for (size_t i = cut.capacity; i < sizeof text; ++i)
            ASSERT_EQ(text[i], '#') << "byte " << i << " written past capacity " << cut.capacity;
    }
}

TEST(DescribeDevice, SuffixAppendedToFullBufferIsCut) {
    char text[8];
    std::memcpy(text, "abcdef", 7);  // 6 characters and the terminator: one byte free
    DeviceLink::DescribeDevice(0, &kVersion, text, sizeof text);
    EXPECT_STREQ(text, "abcdef ");
}

TEST(DescribeDevice, UnterminatedBufferIsTerminatedInsideItsCapacity) {
    char text[9];
    std::memset(text, 'z', sizeof text);
    DeviceLink::DescribeDevice(0, &kVersion, text, 8);
    EXPECT_EQ(text[7], '\0');
    EXPECT_EQ(text[8], 'z');
}

}  // namespace
