// Where CenterWindow puts a window: the arithmetic, apart from the window calls.
#pragma once
#include <cstdint>

struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// Top-left corner that centres `window` on `reference`. Each width and height is halved
// by itself (truncating toward zero) before the subtraction: 1024 and 401 give
// 512 - 200 = 312, not (1024 - 401) / 2 = 311. Not clamped to any screen.
ScreenPoint CenteredPosition(const ScreenRect& reference, const ScreenRect& window);
