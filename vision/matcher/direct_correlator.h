// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "vision/matcher/correlator.h"

namespace vision {

// Sum of products of two rows of bytes; 32 bits hold 66051 products of 255 x 255.
inline std::uint32_t RowProduct(const std::uint8_t* a, const std::uint8_t* b, int count) {
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i) sum += static_cast<std::uint32_t>(a[i]) * b[i];
    return sum;
}

// The exact correlation sum of the template placed with its top-left corner at (x, y) of the
// picture, both 8-bit BGR.
inline std::uint64_t PlacementSum(const cv::Mat& picture, const cv::Mat& templ, int x, int y) {
    std::uint64_t sum = 0;
    for (int t = 0; t < templ.rows; ++t) {
        sum += RowProduct(templ.ptr<std::uint8_t>(t), picture.ptr<std::uint8_t>(y + t) + x * 3,
                          templ.cols * 3);
    }
    return sum;
}

// Correlation summed directly in exact integers: cheaper than FFTs when the template or the
// number of placements is small. The buffers are kept from one search to the next.
class DirectCorrelator final : public Correlator {
  public:
    // A template row's sum of products must stay below 2^32.
    static bool Fits(cv::Size templ) { return templ.width <= 22000; }

    // Keeps pointers to both pictures; blocks are bands of this many rows of placements.
    void Setup(const cv::Mat& picture, const cv::Mat& templ, int band_rows);

    cv::Size BlockSize() const override { return {across_, band_rows_}; }
    void PrepareWorkers(int count) override;
    Sums Correlate(int worker, int left, int top, cv::Size size) override;

  private:
    const cv::Mat* picture_ = nullptr;
    const cv::Mat* templ_ = nullptr;
    int across_ = 0;  // placements in a row
    int band_rows_ = 1;
    std::vector<std::vector<double>> sums_;  // one block per worker
};

}  // namespace vision
