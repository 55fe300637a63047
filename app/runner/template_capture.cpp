// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/template_capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "vision/matcher/fast_matcher.h"
#include "vision/template_path.h"

namespace app {
namespace {

// One decimal at most: 93 or 98.5.
std::string Percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    if (shown.ends_with(".0")) shown.resize(shown.size() - 2);
    return shown;
}

}  // namespace

TemplateCapture MakeTemplate(const cv::Mat& screen, std::int32_t number,
                             const platform::Rect& selection,
                             const std::function<bool(const std::string& path)>& overwrite) {
    TemplateCapture made;
    // Clipped in 64 bits, so that no extreme selection overflows; right and bottom below left
    // and top select nothing, as everywhere else.
    const std::int64_t left = std::max<std::int64_t>(selection.left, 0);
    const std::int64_t top = std::max<std::int64_t>(selection.top, 0);
    const std::int64_t right = std::min<std::int64_t>(selection.right, screen.cols);
    const std::int64_t bottom = std::min<std::int64_t>(selection.bottom, screen.rows);
    if (right <= left || bottom <= top) {
        made.error = "the selection holds no pixel of the screen";
        return made;
    }
    const cv::Rect chosen(static_cast<int>(left), static_cast<int>(top),
                          static_cast<int>(right - left), static_cast<int>(bottom - top));
    made.path = vision::TemplatePath(number);
    std::error_code ec;
    if (std::filesystem::exists(made.path, ec) && !overwrite(made.path)) {
        made.error = made.path + " exists and stays as it is";
        return made;
    }
    const cv::Mat templ = screen(chosen).clone();
    try {
        std::filesystem::create_directories(std::filesystem::path(made.path).parent_path());
        if (!cv::imwrite(made.path, templ)) throw std::runtime_error("not written");
    } catch (const std::exception& e) {
        made.error = "cannot write " + made.path + ": " + e.what();
        return made;
    }

    // Every placement's score on the whole screen; the template's own and its near neighbours
    // do not count as rivals.
    vision::Placement best;
    cv::Mat scores;
    if (!vision::FastMatch(screen, templ, &best, &scores)) {
        made.error = "no memory to score the template";
        return made;
    }
    const double own = scores.at<double>(chosen.tl());
    if (own <= 0) {
        made.error = "the selection is black, and a picture without light matches nowhere";
        std::filesystem::remove(made.path, ec);
        return made;
    }
    for (int y = 0; y < scores.rows; ++y) {
        for (int x = 0; x < scores.cols; ++x) {
            if (2 * std::abs(x - chosen.x) < chosen.width &&
                2 * std::abs(y - chosen.y) < chosen.height) {
                continue;
            }
            const double score = scores.at<double>(y, x);
            if (score > made.runner_up) {
                made.runner_up = score;
                made.runner_up_at = {x + chosen.width / 2, y + chosen.height / 2};
            }
        }
    }
    // Midway, a tenth of a per cent below the template's own score at most, in tenths.
    const double midway = std::min((made.runner_up + own) * 50, own * 100 - 0.05);
    made.threshold = std::floor(midway * 10) / 10;
    if (made.runner_up > 0.95) {
        made.warning =
            "the template is ambiguous: the place at " + std::to_string(made.runner_up_at.x) + "," +
            std::to_string(made.runner_up_at.y) + " scores " + Percent(made.runner_up * 100) +
            "; select a larger or more distinctive part of the screen";
    }

    const int margin = std::max(50, std::max(chosen.width, chosen.height) / 2);
    const cv::Rect area = (chosen + cv::Size(2 * margin, 2 * margin) - cv::Point(margin, margin)) &
                          cv::Rect(0, 0, screen.cols, screen.rows);
    made.area = {area.x, area.y, area.x + area.width, area.y + area.height};
    made.line = "IMG_CLK " + std::to_string(number) + "," + std::to_string(made.area.left) + "," +
                std::to_string(made.area.top) + "," + std::to_string(made.area.right) + "," +
                std::to_string(made.area.bottom) + "," + Percent(made.threshold);
    return made;
}

}  // namespace app
