// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cv {
class Mat;
}

namespace vision {

// Sums of the squares of all three channels over any window of an 8-bit BGR picture, from an
// integral image in exact 64-bit integers.
class WindowEnergy {
  public:
    // Makes room for a picture of this size, reusing earlier storage. Throws std::bad_alloc.
    void Reserve(int width, int height);
    // Sums a picture of the reserved size; allocates nothing, so it may run on any thread.
    void Build(const cv::Mat& picture);

    // Row y of the integral image: element x is the sum over the rectangle (0, 0)-(x, y),
    // both exclusive. A window's sum is bottom[x + w] - bottom[x] - top[x + w] + top[x].
    const std::int64_t* Row(int y) const {
        return integral_.data() + static_cast<std::size_t>(y) * stride_;
    }

  private:
    std::size_t stride_ = 0;
    std::vector<std::int64_t> integral_;
};

// Sum of the squares of every value of an 8-bit picture.
std::int64_t SquareSum(const cv::Mat& picture);

// The TM_CCORR_NORMED score of one placement from its exact correlation sum, the window's
// energy and the square root of the template's energy, with the reference's rules: a window
// or template without energy scores 0; a quotient that rounding puts at or just above 1
// (within 1/8) is exactly 1, anything further off is 0. Free of branches, so that loops over
// it vectorise.
inline double NormalisedScore(double correlation, double window_energy, double template_norm) {
    const double norm = std::sqrt(window_energy) * template_norm;
    const double magnitude = std::fabs(correlation);
    const double quotient = correlation / norm;  // not used when norm is 0
    const double unit = correlation > 0 ? 1.0 : -1.0;
    const double near_one = magnitude < norm * 1.125 ? unit : 0.0;
    return magnitude < norm ? quotient : near_one;
}

// A whole number from 0 up to 2^52 (excluded) as a double, exactly: its bits placed under the
// exponent of 2^52, less 2^52. Unlike a plain conversion it vectorises without AVX-512.
inline double ExactDouble(std::int64_t whole) {
    constexpr std::uint64_t kExponent = 0x4330000000000000;  // the bits of 2^52
    return std::bit_cast<double>(static_cast<std::uint64_t>(whole) | kExponent) -
           4503599627370496.0;
}

// The whole number nearest to value, for |value| below 2^51: adding 1.5 x 2^52 leaves no bits
// for a fraction (in the default rounding mode). Unlike std::nearbyint it needs no library
// call on plain x86-64.
inline double NearestWhole(double value) {
    constexpr double kShift = 6755399441055744.0;
    return (value + kShift) - kShift;
}

}  // namespace vision
