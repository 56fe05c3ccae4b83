// Where CenterWindow puts a window.
#include <gtest/gtest.h>

#include <string>

#include "centering.h"

namespace {

struct CenteringCase {
    const char* name;
    ScreenRect reference;
    ScreenRect window;
    ScreenPoint expected;
};

TEST(Centering, HalvesEachSizeBeforeSubtracting) {
    const CenteringCase cases[] = {
        // 512 - 200 and 384 - 130, not (1024 - 401) / 2 = 311.
        {"odd window on 1024x768", {0, 0, 1024, 768}, {0, 0, 401, 261}, {312, 254}},
        {"window's own position does not matter", {0, 0, 1024, 768}, {500, -40, 901, 221}, {312, 254}},
        {"reference offset", {100, 50, 300, 250}, {0, 0, 100, 100}, {150, 100}},
        {"negative coordinates", {-1280, -200, 0, 824}, {0, 0, 400, 300}, {-840, 162}},
        {"negative odd sizes truncate toward zero", {-3, -3, 0, 0}, {0, 0, 1, 1}, {-2, -2}},
        {"window larger than reference", {0, 0, 100, 80}, {0, 0, 301, 201}, {-100, -60}},
        {"empty window", {0, 0, 1024, 768}, {0, 0, 0, 0}, {512, 384}},
    };
    for (const CenteringCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ScreenPoint p = CenteredPosition(c.reference, c.window);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}

TEST(Centering, LargerWindowEndsLeftOfAndAboveTheReferenceCorner) {
    const ScreenRect reference{10, 20, 110, 120};
    const ScreenPoint p = CenteredPosition(reference, ScreenRect{0, 0, 400, 300});
    EXPECT_LT(p.x, reference.left);
    EXPECT_LT(p.y, reference.top);
}

}  // namespace
