#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string_view>
#include <vector>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "vision/image_search.h"
#include "vision/matcher.h"
#include "vision/template_header.h"

namespace {

enum class TemplateLoad { kLoaded, kUnreadable, kTooLarge };

// Reads the template as an 8-bit three-channel BGR picture, as the desktop picture is. With
// IMREAD_ANYCOLOR the decoder already drops an alpha channel; a grey file is widened here.
// A file that declares a picture larger than limit is refused before it is decoded, so that a
// header claiming a huge size never makes the decoder reserve memory for it.
TemplateLoad LoadTemplate(const char* path, cv::Size limit, cv::Mat* out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return TemplateLoad::kUnreadable;
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
    if (!file.good() && !file.eof()) return TemplateLoad::kUnreadable;
    const auto declared = PeekDeclaredSize(std::string_view(
        reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kPeekBytes)));
    if (declared && (declared->width > limit.width || declared->height > limit.height)) {
        return TemplateLoad::kTooLarge;
    }
    if (bytes.empty()) return TemplateLoad::kUnreadable;
    cv::Mat loaded = cv::imdecode(bytes, cv::IMREAD_ANYCOLOR);
    if (loaded.empty() || loaded.depth() != CV_8U) return TemplateLoad::kUnreadable;
    if (loaded.channels() == 1) {
        cv::cvtColor(loaded, *out, cv::COLOR_GRAY2BGR);
    } else if (loaded.channels() == 3) {
        *out = std::move(loaded);
    } else {
        return TemplateLoad::kUnreadable;
    }
    return out->cols > limit.width || out->rows > limit.height ? TemplateLoad::kTooLarge
                                                               : TemplateLoad::kLoaded;
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
        cv::Mat templ;
        switch (LoadTemplate(path, picture.size(), &templ)) {
            case TemplateLoad::kUnreadable:
                trace::Printf("失敗(%sが読み込めません)\n", path);
                return false;
            case TemplateLoad::kTooLarge:
                trace::Printf("失敗(%sが検索範囲より大きい)\n", path);
                return false;
            case TemplateLoad::kLoaded:
                break;
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
