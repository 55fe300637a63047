// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <opencv2/core/mat.hpp>

#include "vision/matcher/correlation_choice.h"

namespace vision {

// The best placement of a template: its top-left corner in the picture and its score.
struct Placement {
    cv::Point top_left;
    double score = 0;
};

// A search counts as a match when score x 100 is strictly above the threshold (in percent);
// a score or threshold that is not a number never matches.
inline bool ScoreAccepted(double score, double threshold) {
    return score * 100.0 > threshold;
}

// What a search against a threshold tells of the best placement.
enum class Verdict {
    kAbove,      // its score is accepted; the best placement is given
    kBelow,      // no score is accepted; the best placement was not looked for
    kBelowBest,  // no score is accepted; the best placement is given all the same
};

// TM_CCORR_NORMED of 8-bit BGR templates over 8-bit BGR pictures from exact integer sums. The
// buffers, plans and working rows stay from one search to the next, so that searches of
// repeated sizes neither plan again nor allocate; each object has its own, so searches on
// different objects run side by side, and searches on one object take turns.
class FastMatcher {
  public:
    FastMatcher();
    ~FastMatcher();
    FastMatcher(const FastMatcher&) = delete;
    FastMatcher& operator=(const FastMatcher&) = delete;

    // Every placement's score: the highest and the first placement, row by row, that has it;
    // with scores, every placement's score as well (CV_64F). False, with nothing written, when
    // the pictures do not fit (type, template larger than the picture), memory runs out or
    // FFTW cannot plan.
    bool Match(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
               cv::Mat* scores = nullptr);
    // The same by a given way of computing the sums.
    bool Match(const CorrelationChoice& choice, const cv::Mat& picture, const cv::Mat& templ,
               Placement* best, cv::Mat* scores = nullptr);

    // Whether the best placement's score is accepted against threshold, and the best placement,
    // the same as Match gives, when the verdict says so; without scoring every placement where
    // bounds of the scores show that most cannot be accepted. False, with nothing written, as
    // for Match.
    bool FindAbove(const cv::Mat& picture, const cv::Mat& templ, double threshold, Placement* best,
                   Verdict* verdict);

  private:
    bool MatchLocked(const CorrelationChoice& choice, const cv::Mat& picture, const cv::Mat& templ,
                     Placement* best, cv::Mat* scores);

    struct Workspace;
    std::unique_ptr<Workspace> workspace_;
};

// One search on a matcher of its own, for callers that search once.
bool FastMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
               cv::Mat* scores = nullptr);
bool FastMatch(const CorrelationChoice& choice, const cv::Mat& picture, const cv::Mat& templ,
               Placement* best, cv::Mat* scores = nullptr);

}  // namespace vision
