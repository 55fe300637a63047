// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include "platform/bitmap.h"

namespace testing_support {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A picture with no black pixel, different at every place of a small screen.
Rgb PatternPixel(int x, int y);
// The number of pixels of the copy that differ from want(column, row); reports the first few
// as test failures.
int Mismatches(const platform::Bitmap& copy, const std::function<Rgb(int, int)>& want);
// want for a copy of the area at (left, top) of the pattern on a width x height screen.
std::function<Rgb(int, int)> PatternOrBlack(int left, int top, int width, int height);

}  // namespace testing_support
