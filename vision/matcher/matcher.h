#pragma once

#include <string_view>

#include "vision/matcher/fast_matcher.h"

namespace vision {

// Which code finds the best placement: the fast matcher (FFTW and exact sums) or
// cv::matchTemplate, the reference.
enum class MatcherKind { kFast, kOpenCv };

// "fast" or "opencv"; false for anything else.
bool ParseMatcherKind(std::string_view name, MatcherKind* kind);

// cv::matchTemplate with TM_CCORR_NORMED and cv::minMaxLoc; with scores, the score map
// (CV_32F). OpenCV's exceptions pass through.
void OpenCvMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
                 cv::Mat* scores = nullptr);

// The best placement by the given matcher. The fast matcher fails only when it cannot get
// memory or a plan, and the reference then has its turn. OpenCV's exceptions pass through.
Placement BestPlacement(const cv::Mat& picture, const cv::Mat& templ, MatcherKind kind);

}  // namespace vision
