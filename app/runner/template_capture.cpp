// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/template_capture.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "vision/matcher/fast_matcher.h"
#include "vision/template_path.h"

namespace app {

std::string Percent(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string shown = text;
    if (shown.ends_with(".0")) shown.resize(shown.size() - 2);
    return shown;
}

namespace {

// The rectangle and a margin on every side, clipped to a picture of width x height.
cv::Rect Grown(const cv::Rect& rect, int margin, int width, int height) {
    return (rect + cv::Size(2 * margin, 2 * margin) - cv::Point(margin, margin)) &
           cv::Rect(0, 0, width, height);
}

}  // namespace

bool ScoreTemplate(vision::FastMatcher& matcher, const cv::Mat& screen, const platform::Rect& cut,
                   TemplateScore* score, double enough) {
    const cv::Rect chosen(cut.left, cut.top, cut.right - cut.left, cut.bottom - cut.top);
    const cv::Mat templ = screen(chosen);
    *score = {};
    score->area = SearchArea(cut, screen.cols, screen.rows);
    // The best rival so far: the first placement, row by row, with the highest score.
    double rival = -1;
    cv::Point rival_at;
    // Every placement's score on a part of the screen: the template's own, and the best of the
    // others but its near neighbours, less than half a template away.
    const auto rivals = [&](const cv::Rect& part) {
        vision::Placement best;
        cv::Mat scores;
        if (!matcher.Match(screen(part), templ, &best, &scores)) return false;
        score->own = scores.at<double>(chosen.tl() - part.tl());
        for (int y = 0; y < scores.rows; ++y) {
            for (int x = 0; x < scores.cols; ++x) {
                const cv::Point place = part.tl() + cv::Point(x, y);
                const double value = scores.at<double>(y, x);
                if (value > rival && (2 * std::abs(place.x - chosen.x) >= chosen.width ||
                                      2 * std::abs(place.y - chosen.y) >= chosen.height)) {
                    rival = value;
                    rival_at = place;
                }
            }
        }
        return true;
    };
    // A rival above enough ends the search. It is looked for first around the cut, two
    // cut sizes each way, where the look-alikes of a button row or a text mostly are, for a
    // fraction of the whole screen's cost.
    if (std::isfinite(enough)) {
        const int margin = std::max(100, 2 * std::max(chosen.width, chosen.height));
        if (!rivals(Grown(chosen, margin, screen.cols, screen.rows))) return false;
    }
    // No rival above enough there: every placement's score, for the runner-up's exact one.
    if (rival <= enough) {
        rival = -1;
        if (!rivals({0, 0, screen.cols, screen.rows})) return false;
    }
    if (rival >= 0) {
        score->runner_up = rival;
        score->runner_up_at = {rival_at.x + chosen.width / 2, rival_at.y + chosen.height / 2};
    }
    // Midway, a tenth of a per cent below the template's own score at most, in tenths.
    const double midway = std::min((score->runner_up + score->own) * 50, score->own * 100 - 0.05);
    score->threshold = std::floor(midway * 10) / 10;
    return true;
}

platform::Rect SearchArea(const platform::Rect& cut, int width, int height) {
    const cv::Rect chosen(cut.left, cut.top, cut.right - cut.left, cut.bottom - cut.top);
    const cv::Rect area =
        Grown(chosen, std::max(50, std::max(chosen.width, chosen.height) / 2), width, height);
    return {area.x, area.y, area.x + area.width, area.y + area.height};
}

bool WriteTemplate(const std::string& path, const cv::Mat& templ, std::string* error) {
    // Encoded in memory and written through a stream whose state tells a short write, so that
    // a full disk never leaves a truncated picture that looks whole.
    std::vector<unsigned char> bytes;
    std::error_code ec;
    errno = 0;
    try {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        if (!cv::imencode(".bmp", templ, bytes)) throw std::runtime_error("cannot encode it");
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) throw std::runtime_error(errno ? std::strerror(errno) : "short write");
    } catch (const std::exception& e) {
        *error = "cannot write " + path + ": " + e.what();
        std::filesystem::remove(path, ec);
        return false;
    }
    return true;
}

std::string TemplateLine(std::string_view keyword, std::int32_t number, const platform::Rect& area,
                         double threshold) {
    return std::string(keyword) + " " + std::to_string(number) + "," + std::to_string(area.left) +
           "," + std::to_string(area.top) + "," + std::to_string(area.right) + "," +
           std::to_string(area.bottom) + "," + Percent(threshold);
}

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
    if (!WriteTemplate(made.path, screen(chosen), &made.error)) return made;

    TemplateScore score;
    vision::FastMatcher matcher;
    if (!ScoreTemplate(matcher, screen,
                       {chosen.x, chosen.y, chosen.x + chosen.width, chosen.y + chosen.height},
                       &score)) {
        made.error = "no memory to score the template";
        return made;
    }
    if (score.own <= 0) {
        made.error = "the selection is black, and a picture without light matches nowhere";
        std::filesystem::remove(made.path, ec);
        return made;
    }
    made.runner_up = score.runner_up;
    made.runner_up_at = score.runner_up_at;
    made.threshold = score.threshold;
    made.area = score.area;
    if (made.runner_up > 0.95) {
        made.warning =
            "the template is ambiguous: the place at " + std::to_string(made.runner_up_at.x) + "," +
            std::to_string(made.runner_up_at.y) + " scores " + Percent(made.runner_up * 100) +
            "; select a larger or more distinctive part of the screen";
    }
    made.line = TemplateLine("IMG_CLK", number, made.area, made.threshold);
    return made;
}

}  // namespace app
