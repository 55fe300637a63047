// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/screen_pattern.h"

#include <gtest/gtest.h>

namespace testing_support {

Rgb PatternPixel(int x, int y) {
    return {static_cast<std::uint8_t>(1 + (x * 7 + y) % 251),
            static_cast<std::uint8_t>(1 + (y * 5 + x * 3) % 251),
            static_cast<std::uint8_t>(1 + (x ^ y) % 251)};
}

int Mismatches(const platform::Bitmap& copy, const std::function<Rgb(int, int)>& want) {
    int misses = 0;
    for (int y = 0; y < copy.height; ++y) {
        for (int x = 0; x < copy.width; ++x) {
            const std::uint8_t* p = copy.TopRow() + y * copy.pitch + x * copy.bytes_per_pixel;
            const Rgb got{p[2], p[1], p[0]};
            const Rgb expected = want(x, y);
            if (got != expected && ++misses <= 3) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): got " << +got.r << "," << +got.g
                              << "," << +got.b << " want " << +expected.r << "," << +expected.g
                              << "," << +expected.b;
            }
        }
    }
    return misses;
}

std::function<Rgb(int, int)> PatternOrBlack(int left, int top, int width, int height) {
    return [=](int x, int y) {
        const long long sx = static_cast<long long>(left) + x;
        const long long sy = static_cast<long long>(top) + y;
        if (sx < 0 || sy < 0 || sx >= width || sy >= height) return Rgb{};
        return PatternPixel(static_cast<int>(sx), static_cast<int>(sy));
    };
}

}  // namespace testing_support
