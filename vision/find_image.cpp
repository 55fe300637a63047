// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string_view>
#include <vector>

#include "base/trace.h"
#include "vision/capture_desktop.h"
#include "vision/find_image.h"
#include "vision/template_header.h"

namespace vision {

TemplateLoad LoadTemplate(const std::string& path, cv::Size limit, cv::Mat* out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return TemplateLoad::kMissing;
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
    if (!file.is_open() || (!file.good() && !file.eof())) return TemplateLoad::kUnreadable;
    const auto declared = PeekDeclaredSize(std::string_view(
        reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), kPeekBytes)));
    if (declared && (declared->width > limit.width || declared->height > limit.height)) {
        return TemplateLoad::kTooLarge;
    }
    if (bytes.empty()) return TemplateLoad::kNotAPicture;
    cv::Mat loaded = cv::imdecode(bytes, cv::IMREAD_ANYCOLOR);
    if (loaded.empty() || loaded.depth() != CV_8U) return TemplateLoad::kNotAPicture;
    if (loaded.channels() == 1) {
        cv::cvtColor(loaded, *out, cv::COLOR_GRAY2BGR);
    } else if (loaded.channels() == 3) {
        *out = std::move(loaded);
    } else {
        return TemplateLoad::kNotAPicture;
    }
    return out->cols > limit.width || out->rows > limit.height ? TemplateLoad::kTooLarge
                                                               : TemplateLoad::kLoaded;
}

namespace {

// What the search asks: the best placement, or whether one is above a threshold.
struct Question {
    std::optional<double> threshold;
    bool best_always = true;
};

Placement Answer(Matcher& matcher, const cv::Mat& picture, const cv::Mat& templ,
                 const Question& question) {
    if (!question.threshold) return matcher.BestPlacement(picture, templ);
    Placement best;
    if (matcher.FindAbove(picture, templ, *question.threshold, &best) != Verdict::kBelow) {
        return best;
    }
    if (question.best_always) return matcher.BestPlacement(picture, templ);
    trace::Printf("(nothing above the threshold) ");
    return {};
}

ImageSearch Find(platform::Desktop& desktop, const platform::Rect& area, const std::string& path,
                 const std::shared_ptr<Matcher>& matcher, const Question& question) {
    ImageSearch search;
    // OpenCV reports errors (a corrupt file, no memory) by throwing; they end the search here.
    try {
        if (!CaptureDesktop(desktop, &search.picture, area)) {
            trace::Printf("失敗(%sが読み込めません)\n", "デスクトップイメージ");
            return search;
        }
        cv::Mat templ;
        switch (LoadTemplate(path, search.picture.size(), &templ)) {
            case TemplateLoad::kMissing:
            case TemplateLoad::kUnreadable:
            case TemplateLoad::kNotAPicture:
                trace::Printf("失敗(%sが読み込めません)\n", path.c_str());
                search.failure = SearchFailure::kUnreadableTemplate;
                return search;
            case TemplateLoad::kTooLarge:
                trace::Printf("失敗(%sが検索範囲より大きい)\n", path.c_str());
                search.failure = SearchFailure::kTemplateTooLarge;
                return search;
            case TemplateLoad::kLoaded:
                break;
        }

        trace::Printf("matching..");
        Matcher own;
        const Placement best = Answer(matcher ? *matcher : own, search.picture, templ, question);
        trace::Printf("end\n");
        trace::Printf("template pos is (%d, %d)\n", best.top_left.x, best.top_left.y);
        // The centre lies inside the area, so it fits 32 bits; the sum is made in 64 anyway.
        search.centre = {
            static_cast<std::int32_t>(templ.cols / 2 + std::int64_t{best.top_left.x} + area.left),
            static_cast<std::int32_t>(templ.rows / 2 + std::int64_t{best.top_left.y} + area.top)};
        trace::Printf("center   pos is (%d, %d)\n", search.centre.x, search.centre.y);
        trace::Printf("val is %lf\n", best.score);
        search.score = best.score;
        search.best = cv::Rect(best.top_left, templ.size());
        search.failure = SearchFailure::kNone;
    } catch (const std::exception& e) {
        trace::Printf("失敗(%s)\n", e.what());
        search.failure = SearchFailure::kError;
    }
    return search;
}

}  // namespace

ImageSearch FindImage(platform::Desktop& desktop, const platform::Rect& area,
                      const std::string& path, const std::shared_ptr<Matcher>& matcher) {
    return Find(desktop, area, path, matcher, {});
}

ImageSearch FindImage(platform::Desktop& desktop, const platform::Rect& area,
                      const std::string& path, const std::shared_ptr<Matcher>& matcher,
                      double threshold, bool best_always) {
    return Find(desktop, area, path, matcher, {threshold, best_always});
}

}  // namespace vision
