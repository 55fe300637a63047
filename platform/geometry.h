// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace platform {

// A screen rectangle in pixels; right and bottom lie one past the last column and row.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The part of the width x height area at (left, top) that lies on a screen of the given size;
// empty (right <= left or bottom <= top) when none does. Computed in 64 bits, as left + width
// may not fit in 32.
Rect VisiblePart(Size screen, std::int32_t left, std::int32_t top, std::int32_t width,
                 std::int32_t height);

}  // namespace platform
