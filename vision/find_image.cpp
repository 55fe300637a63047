#include <exception>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "vision/image_search.h"
#include "vision/matcher.h"

namespace {

// Reads the template as an 8-bit three-channel BGR picture, as the desktop picture is. With
// IMREAD_ANYCOLOR the decoder already drops an alpha channel; a grey file is widened here.
// Empty when the file is missing or unreadable.
cv::Mat LoadTemplate(const char* path) {
    cv::Mat loaded = cv::imread(path, cv::IMREAD_ANYCOLOR);
    if (loaded.empty() || loaded.depth() != CV_8U) return {};
    if (loaded.channels() == 3) return loaded;
    if (loaded.channels() != 1) return {};
    cv::Mat bgr;
    cv::cvtColor(loaded, bgr, cv::COLOR_GRAY2BGR);
    return bgr;
}

// Slides the template over every placement of the picture and keeps the best one.
vision::Placement MatchTemplate(const cv::Mat& picture, const cv::Mat& templ) {
    vision::Placement best;
    trace::Printf("matching..");
    // The fast matcher fails only when it cannot get memory or a plan; the reference may
    // still manage.
    if (!vision::BestPlacement(picture, templ, &best)) vision::OpenCvMatch(picture, templ, &best);
    trace::Printf("end\n");
    return best;
}

}  // namespace

bool CEvent_Maker::FindImage(int* x, int* y, double* score, const platform::Rect& area,
                             const char* path) {
    // OpenCV reports errors (a corrupt file, no memory) by throwing; they end the search here.
    try {
        cv::Mat picture;
        if (!CaptureDesktop(&picture, area)) {
            trace::Printf("失敗(%sが読み込めません)\n", "デスクトップイメージ");
            return false;
        }
        const cv::Mat templ = LoadTemplate(path);
        if (templ.empty()) {
            trace::Printf("失敗(%sが読み込めません)\n", path);
            return false;
        }
        if (templ.cols > picture.cols || templ.rows > picture.rows) {
            trace::Printf("失敗(%sが検索範囲より大きい)\n", path);
            return false;
        }

        const vision::Placement best = MatchTemplate(picture, templ);
        trace::Printf("template pos is (%d, %d)\n", best.top_left.x, best.top_left.y);
        // The centre lies inside the area, so it fits 32 bits; the sum is made in 64 anyway.
        const auto cx =
            static_cast<int>(templ.cols / 2 + std::int64_t{best.top_left.x} + area.left);
        const auto cy = static_cast<int>(templ.rows / 2 + std::int64_t{best.top_left.y} + area.top);
        trace::Printf("center   pos is (%d, %d)\n", cx, cy);
        trace::Printf("val is %lf\n", best.score);
        *x = cx;
        *y = cy;
        *score = best.score;
        return true;
    } catch (const std::exception& e) {
        trace::Printf("失敗(%s)\n", e.what());
        return false;
    }
}
