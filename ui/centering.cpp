#include "centering.h"

ScreenPoint CenteredPosition(const ScreenRect& reference, const ScreenRect& window) {
    // 64-bit intermediates: rectangles near the int32 limits must not overflow.
    const int64_t referenceWidth = int64_t{reference.right} - reference.left;
    const int64_t referenceHeight = int64_t{reference.bottom} - reference.top;
    const int64_t windowWidth = int64_t{window.right} - window.left;
    const int64_t windowHeight = int64_t{window.bottom} - window.top;
    // C++ integer division truncates toward zero, as the placement rule requires.
    const int64_t x = reference.left + referenceWidth / 2 - windowWidth / 2;
    const int64_t y = reference.top + referenceHeight / 2 - windowHeight / 2;
    return ScreenPoint{static_cast<int32_t>(x), static_cast<int32_t>(y)};
}
