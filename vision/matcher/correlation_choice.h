// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <opencv2/core/types.hpp>

namespace vision {

// How the fast matcher computes the correlation sums of one search.
struct CorrelationChoice {
    enum class Method { kDirect, kFft };
    Method method = Method::kFft;
    cv::Size tile;      // kFft: the transform size
    int band_rows = 1;  // kDirect: rows of placements per block
    int workers = 1;    // threads sharing the blocks
};

// The cheapest way for a template in a picture of these sizes, by the measured costs of the
// direct sums and of FFT tiles, with this many processor cores to share the work.
CorrelationChoice ChooseCorrelation(cv::Size picture, cv::Size templ, int cores);

}  // namespace vision
