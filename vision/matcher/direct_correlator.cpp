// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/direct_correlator.h"

#include <cstdint>

namespace vision {

void DirectCorrelator::Setup(const cv::Mat& picture, const cv::Mat& templ, int band_rows) {
    picture_ = &picture;
    templ_ = &templ;
    across_ = picture.cols - templ.cols + 1;
    band_rows_ = band_rows;
}

void DirectCorrelator::PrepareWorkers(int count) {
    if (static_cast<int>(sums_.size()) < count) sums_.resize(count);
    for (auto& block : sums_) {
        block.resize(static_cast<std::size_t>(across_) * band_rows_);
    }
}

Correlator::Sums DirectCorrelator::Correlate(int worker, int left, int top, cv::Size size) {
    double* out = sums_[worker].data();
    for (int j = 0; j < size.height; ++j) {
        double* sums = out + static_cast<std::ptrdiff_t>(j) * across_;
        for (int i = 0; i < size.width; ++i) {
            sums[i] = static_cast<double>(PlacementSum(*picture_, *templ_, left + i, top + j));
        }
    }
    return {out, across_};
}

}  // namespace vision
