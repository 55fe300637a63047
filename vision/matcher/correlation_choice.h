// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <opencv2/core/types.hpp>

namespace vision {

// How the fast matcher computes the correlation sums of one search.
struct CorrelationChoice {
    enum class Method { kDirect, kFft };
    Method method = Method::kFft;
    cv::Size tile;           // kFft: the transform size
    int band_rows = 1;       // kDirect: rows of placements per block
    int workers = 1;         // threads sharing the blocks
    double nanoseconds = 0;  // the time it should take
};

// The cheapest way for a template in a picture of these sizes, by the measured costs of the
// direct sums and of FFT tiles, with this many processor cores to share the work.
CorrelationChoice ChooseCorrelation(cv::Size picture, cv::Size templ, int cores);

// Whether a search against a threshold should bound the scores first (see PrunedSearch),
// beside the exhaustive search it would otherwise make.
struct PruningChoice {
    bool worth = false;
    int workers = 1;
    // Placements worth scoring exactly before the exhaustive search would have been cheaper.
    std::int64_t budget = 0;
};

// Bounds are worth making when the threshold is high enough for them to reject most
// placements and the scan that makes them costs well under the exhaustive search.
PruningChoice ChoosePruning(cv::Size picture, cv::Size templ, double threshold, int cores,
                            const CorrelationChoice& exhaustive);

}  // namespace vision
