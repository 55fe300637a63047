// SPDX-License-Identifier: GPL-3.0-or-later
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
// (CV_32F). OpenCV's exceptions pass through; a template larger than the picture in either
// direction is refused with one.
void OpenCvMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
                 cv::Mat* scores = nullptr);

// One kind of matcher with the fast matcher's workspace, kept from one search to the next.
// The runs of one job share one; searches on it take turns, searches on others run beside them.
class Matcher {
  public:
    explicit Matcher(MatcherKind kind = MatcherKind::kFast) : kind_(kind) {}

    MatcherKind kind() const { return kind_; }

    // The best placement by this kind. The fast matcher fails only when it cannot get memory or
    // a plan, and the reference then has its turn. OpenCV's exceptions pass through.
    Placement BestPlacement(const cv::Mat& picture, const cv::Mat& templ);
    // Whether the best placement's score x 100 is above threshold, with the best placement (the
    // same as BestPlacement's) when the verdict says so. The fast kind leaves out the
    // placements that cannot reach the threshold.
    Verdict FindAbove(const cv::Mat& picture, const cv::Mat& templ, double threshold,
                      Placement* best);

    // The fast matcher on this object's workspace, whatever the kind.
    FastMatcher& fast() { return fast_; }

  private:
    MatcherKind kind_;
    FastMatcher fast_;
};

}  // namespace vision
