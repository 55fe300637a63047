#include "vision/matcher.h"

#include <atomic>
#include <opencv2/imgproc.hpp>

namespace vision {
namespace {

std::atomic<MatcherKind> g_matcher{MatcherKind::kFast};

}  // namespace

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

void SetMatcher(MatcherKind kind) {
    g_matcher = kind;
}

MatcherKind ActiveMatcher() {
    return g_matcher;
}

void OpenCvMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best, cv::Mat* scores) {
    cv::Mat map;
    cv::matchTemplate(picture, templ, map, cv::TM_CCORR_NORMED);
    Placement found;
    cv::minMaxLoc(map, nullptr, &found.score, nullptr, &found.top_left);
    *best = found;
    if (scores) *scores = map;
}

bool BestPlacement(const cv::Mat& picture, const cv::Mat& templ, Placement* best) {
    if (ActiveMatcher() == MatcherKind::kOpenCv) {
        OpenCvMatch(picture, templ, best);
        return true;
    }
    return FastMatch(picture, templ, best);
}

}  // namespace vision
