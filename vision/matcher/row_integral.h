// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace vision {

// The next row of an integral image of the values of BGR pixels (summed over the channels) and
// of their squares: next[0] = 0 and next[x] = above[x] + the sums over pixels [0, x) of the
// row, for x in [1, cols]. The sums wrap around 32 bits, which leaves the sums over windows exact
// as long as they stay below 2^32.
void ExtendIntegral(const std::uint8_t* in, int cols, const std::uint32_t* sums_above,
                    const std::uint32_t* squares_above, std::uint32_t* sums,
                    std::uint32_t* squares);

}  // namespace vision
