// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/normalised_score.h"

#include <algorithm>
#include <opencv2/core.hpp>

namespace vision {

void WindowEnergy::Reserve(int width, int height) {
    stride_ = static_cast<std::size_t>(width) + 1;
    integral_.resize(stride_ * (static_cast<std::size_t>(height) + 1));
}

void WindowEnergy::Build(const cv::Mat& picture) {
    const int width = picture.cols;
    const int height = picture.rows;
    std::fill(integral_.begin(), integral_.begin() + static_cast<std::ptrdiff_t>(stride_), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* pixel = picture.ptr<std::uint8_t>(y);
        const std::int64_t* above = Row(y);
        std::int64_t* row = integral_.data() + (static_cast<std::size_t>(y) + 1) * stride_;
        std::int64_t run = 0;
        row[0] = 0;
        for (int x = 0; x < width; ++x, pixel += 3) {
            run += pixel[0] * pixel[0] + pixel[1] * pixel[1] + pixel[2] * pixel[2];
            row[x + 1] = above[x + 1] + run;
        }
    }
}

std::int64_t SquareSum(const cv::Mat& picture) {
    std::int64_t sum = 0;
    const int values = picture.cols * picture.channels();
    for (int y = 0; y < picture.rows; ++y) {
        const std::uint8_t* value = picture.ptr<std::uint8_t>(y);
        std::int64_t row = 0;
        for (int i = 0; i < values; ++i) row += value[i] * value[i];
        sum += row;
    }
    return sum;
}

}  // namespace vision
