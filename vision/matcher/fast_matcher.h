#pragma once

#include <opencv2/core/mat.hpp>

#include "vision/matcher/correlation_choice.h"

namespace vision {

// The best placement of a template: its top-left corner in the picture and its score.
struct Placement {
    cv::Point top_left;
    double score = 0;
};

// TM_CCORR_NORMED of an 8-bit BGR template over every placement in an 8-bit BGR picture,
// from exact integer sums: the highest score and the first placement, row by row, that has
// it; with scores, every placement's score as well (CV_64F). False, with nothing written, when
// the pictures do not fit (type, template larger than the picture), memory runs out or FFTW
// cannot plan.
bool FastMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
               cv::Mat* scores = nullptr);

// The same by a given way of computing the sums.
bool FastMatch(const CorrelationChoice& choice, const cv::Mat& picture, const cv::Mat& templ,
               Placement* best, cv::Mat* scores = nullptr);

}  // namespace vision
