#pragma once

#include <string_view>

#include "vision/fast_matcher.h"

namespace vision {

// Which code finds the best placement: the fast matcher (FFTW and exact sums) or
// cv::matchTemplate, the reference.
enum class MatcherKind { kFast, kOpenCv };

// "fast" or "opencv"; false for anything else.
bool ParseMatcherKind(std::string_view name, MatcherKind* kind);

// The matcher for every search of the process; the fast one unless set otherwise.
void SetMatcher(MatcherKind kind);
MatcherKind ActiveMatcher();

// cv::matchTemplate with TM_CCORR_NORMED and cv::minMaxLoc; with scores, the score map
// (CV_32F). OpenCV's exceptions pass through.
void OpenCvMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
                 cv::Mat* scores = nullptr);

// The best placement by the active matcher. False, with nothing written, when the search
// could not be made.
bool BestPlacement(const cv::Mat& picture, const cv::Mat& templ, Placement* best);

}  // namespace vision
