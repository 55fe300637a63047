// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/direct_correlator.h"

#include <cstdint>

namespace vision {
namespace {

// Sum of products of two rows of bytes; 32 bits hold 66051 products of 255 x 255.
std::uint32_t RowProduct(const std::uint8_t* a, const std::uint8_t* b, int count) {
    std::uint32_t sum = 0;
    for (int i = 0; i < count; ++i) sum += static_cast<std::uint32_t>(a[i]) * b[i];
    return sum;
}

}  // namespace

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
    const int row_values = templ_->cols * 3;
    for (int j = 0; j < size.height; ++j) {
        double* sums = out + static_cast<std::ptrdiff_t>(j) * across_;
        for (int i = 0; i < size.width; ++i) {
            const int x = (left + i) * 3;
            std::uint64_t sum = 0;
            for (int t = 0; t < templ_->rows; ++t) {
                sum += RowProduct(templ_->ptr<std::uint8_t>(t),
                                  picture_->ptr<std::uint8_t>(top + j + t) + x, row_values);
            }
            sums[i] = static_cast<double>(sum);
        }
    }
    return {out, across_};
}

}  // namespace vision
