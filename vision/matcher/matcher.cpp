// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/matcher.h"

#include <opencv2/imgproc.hpp>

namespace vision {

bool ParseMatcherKind(std::string_view name, MatcherKind* kind) {
    if (name == "fast") {
        *kind = MatcherKind::kFast;
    } else if (name == "opencv") {
        *kind = MatcherKind::kOpenCv;
    } else {
        return false;
    }
    return true;
}

void OpenCvMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best, cv::Mat* scores) {
    // matchTemplate swaps the two when the template is the larger in both directions, and
    // would score the picture inside the template.
    CV_Assert(templ.cols <= picture.cols && templ.rows <= picture.rows);
    cv::Mat map;
    cv::matchTemplate(picture, templ, map, cv::TM_CCORR_NORMED);
    Placement found;
    cv::minMaxLoc(map, nullptr, &found.score, nullptr, &found.top_left);
    *best = found;
    if (scores) *scores = map;
}

Placement Matcher::BestPlacement(const cv::Mat& picture, const cv::Mat& templ) {
    Placement best;
    if (kind_ == MatcherKind::kOpenCv || !fast_.Match(picture, templ, &best)) {
        OpenCvMatch(picture, templ, &best);
    }
    return best;
}

Verdict Matcher::FindAbove(const cv::Mat& picture, const cv::Mat& templ, double threshold,
                           Placement* best) {
    Verdict verdict = Verdict::kBelow;
    if (kind_ == MatcherKind::kFast && fast_.FindAbove(picture, templ, threshold, best, &verdict)) {
        return verdict;
    }
    *best = BestPlacement(picture, templ);
    return ScoreAccepted(best->score, threshold) ? Verdict::kAbove : Verdict::kBelowBest;
}

}  // namespace vision
