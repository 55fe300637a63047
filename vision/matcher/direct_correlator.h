// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

#include "vision/matcher/correlator.h"

namespace vision {

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
