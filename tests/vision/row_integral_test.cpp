// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/row_integral.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// Every width around the eight pixels the wide path takes at once, and a screen's; rows of
// random bytes, of saturated bytes, and rows above whose sums are about to wrap around 32 bits.
TEST(RowIntegral, MatchesTheSumsPixelByPixel) {
    std::mt19937 random(7);
    for (const int cols : {1, 2, 7, 8, 9, 10, 11, 15, 16, 17, 18, 33, 1921}) {
        for (const int kind : {0, 1, 2}) {
            std::vector<std::uint8_t> row(3 * cols);
            for (auto& byte : row) byte = kind == 1 ? 255 : static_cast<std::uint8_t>(random());
            std::vector<std::uint32_t> sums_above(cols + 1), squares_above(cols + 1);
            for (int x = 0; x <= cols; ++x) {
                sums_above[x] = kind == 2 ? 0xffffff00u + x : static_cast<std::uint32_t>(random());
                squares_above[x] = kind == 2 ? 0xfffff000u : static_cast<std::uint32_t>(random());
            }
            std::vector<std::uint32_t> sums(cols + 1, 77), squares(cols + 1, 77);
            vision::ExtendIntegral(row.data(), cols, sums_above.data(), squares_above.data(),
                                   sums.data(), squares.data());
            std::uint32_t sum = 0, square = 0;
            for (int x = 0; x <= cols; ++x) {
                ASSERT_EQ(sums[x], (x == 0 ? 0 : sums_above[x]) + sum)
                    << cols << " wide, kind " << kind << ", at " << x;
                ASSERT_EQ(squares[x], (x == 0 ? 0 : squares_above[x]) + square)
                    << cols << " wide, kind " << kind << ", at " << x;
                if (x == cols) break;
                for (int c = 0; c < 3; ++c) {
                    sum += row[3 * x + c];
                    square += row[3 * x + c] * row[3 * x + c];
                }
            }
        }
    }
}

}  // namespace
