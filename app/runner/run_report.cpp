// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/run_report.h"

#include <cstdio>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "vision/capture_desktop.h"

namespace app {
namespace {

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Rectangle(const platform::Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

const char* Failure(vision::SearchFailure failure) {
    switch (failure) {
        case vision::SearchFailure::kCapture:
            return "the area could not be copied from the screen";
        case vision::SearchFailure::kUnreadableTemplate:
            return "the template is missing or is not a picture";
        case vision::SearchFailure::kTemplateTooLarge:
            return "the template is larger than the area";
        default:
            return "the search could not be made";
    }
}

const char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#222}"
    "table{border-collapse:collapse;margin-bottom:1em}"
    "td,th{border:1px solid #ccc;padding:.3em .6em;text-align:left;vertical-align:top}"
    "code{white-space:pre-wrap}tr.failed td{background:#fde8e8}"
    ".found{color:#176f2c}.missed{color:#b3261e}"
    "figure{margin:.3em 0}img{max-width:100%;border:1px solid #999}";

}  // namespace

bool RunReport::Open(std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    if (!std::filesystem::is_directory(dir_, ec)) {
        *error = "cannot make the report folder '" + dir_.string() + "'";
        return false;
    }
    return true;
}

void RunReport::FileStarted(const std::string& name) {
    files_.push_back({name, {}, {}, {}});
}

void RunReport::FileEnded(RunOutcome outcome, const std::string& error_text) {
    if (files_.empty()) return;
    switch (outcome) {
        case RunOutcome::kCompleted:
            files_.back().end = "<p class=\"found\">completed</p>";
            break;
        case RunOutcome::kNotLoaded:
            files_.back().end = "<p class=\"missed\">could not be loaded</p>";
            break;
        case RunOutcome::kCancelled:
            files_.back().end = "<p class=\"missed\">cancelled</p>";
            break;
        case RunOutcome::kFailed:
            files_.back().end = "<p class=\"missed\">failed: " + Escaped(error_text) + "</p>";
            break;
    }
}

std::string RunReport::SavePicture(const cv::Mat& picture, const std::string& name,
                                   int max_width) const {
    if (picture.empty()) return {};
    cv::Mat shown = picture;
    if (picture.cols > max_width) {
        const double scale = static_cast<double>(max_width) / picture.cols;
        cv::resize(picture, shown, {}, scale, scale, cv::INTER_AREA);
    }
    try {
        return cv::imwrite((dir_ / name).string(), shown) ? name : std::string();
    } catch (const std::exception&) {
        return {};
    }
}

void RunReport::LineStarted(std::size_t, const std::string& line) {
    if (files_.empty()) FileStarted("script");
    files_.back().lines.push_back({line, {}, 0, 0, {}});
    line_start_ = std::chrono::steady_clock::now();
}

void RunReport::LineFinished(std::size_t, int result, std::string_view log,
                             std::string_view error) {
    File& file = files_.back();
    Line& line = file.lines.back();
    line.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - line_start_)
            .count();
    line.log = log;
    line.result = result;
    if (result >= 0) return;
    line.details += "<p class=\"missed\">error: " + Escaped(error) + "</p>";
    const platform::Size screen = desktop_.ScreenSize();
    cv::Mat picture;
    if (vision::CaptureDesktop(desktop_, &picture, {0, 0, screen.width, screen.height})) {
        file.screenshot =
            SavePicture(picture, "screen-" + std::to_string(files_.size()) + ".png", 1 << 30);
    }
}

void RunReport::ImageSearched(const platform::Rect& area, const std::string& path,
                              const vision::ImageSearch& search) {
    Line& line = files_.back().lines.back();
    cv::Mat picture;
    if (!search.picture.empty()) {
        picture = search.picture.clone();
        if (search.searched()) cv::rectangle(picture, search.best, cv::Scalar(0, 0, 255), 2);
    }
    const std::string name = "search-" + std::to_string(files_.size()) + "-" +
                             std::to_string(files_.back().lines.size()) + ".png";
    const std::string saved = SavePicture(picture, name, 640);
    line.details += "<figure>";
    if (!saved.empty()) line.details += "<img src=\"" + saved + "\" alt=\"search area\">";
    line.details += "<figcaption>" + Escaped(path) + " in " + Rectangle(area);
    if (search.searched()) {
        line.details += ": best place centred at " + std::to_string(search.centre.x) + "," +
                        std::to_string(search.centre.y) + ", score " + Fixed(search.score * 100, 2);
        last_score_ = search.score;
    } else {
        line.details += std::string(": ") + Failure(search.failure);
        last_score_ = -1;
    }
    line.details += "</figcaption></figure>";
}

void RunReport::ImageJudged(double threshold, bool found) {
    Line& line = files_.back().lines.back();
    line.details += std::string("<p class=\"") + (found ? "found" : "missed") + "\">" +
                    (last_score_ >= 0 ? Fixed(last_score_ * 100, 2) + " against the threshold " +
                                            Fixed(threshold, 2) + ": "
                                      : std::string()) +
                    (found ? "found" : "not found") + "</p>";
}

void RunReport::WindowSearched(std::string_view title,
                               const std::optional<windows::WindowMatch>& match) {
    Line& line = files_.back().lines.back();
    if (match) {
        line.details += "<p class=\"found\">found &ldquo;" + Escaped(match->title) + "&rdquo; at " +
                        Rectangle(match->rect) + (match->minimised ? ", minimised" : "") + "</p>";
        return;
    }
    line.details += "<p class=\"missed\">no window's title holds &ldquo;" + Escaped(title) +
                    "&rdquo;. The titles of the windows shown were:</p><ul>";
    desktop_.ForEachWindow([&](platform::WindowHandle window) {
        const std::string shown = windows::MatchedTitle(desktop_, window);
        if (!shown.empty() && desktop_.IsWindowVisible(window)) {
            line.details += "<li>" + Escaped(shown) + "</li>";
        }
        return true;
    });
    line.details += "</ul>";
}

bool RunReport::Write(std::string* error) const {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<title>Ravelkin run report</title><style>" +
        std::string(kStyle) + "</style></head><body>\n<h1>Ravelkin run report</h1>\n";
    for (const File& file : files_) {
        html += "<h2>" + Escaped(file.name) + "</h2>\n" + file.end +
                "<table><tr><th>line</th><th>log</th><th>result</th><th>time</th></tr>\n";
        for (const Line& line : file.lines) {
            html += std::string("<tr") + (line.result < 0 ? " class=\"failed\"" : "") +
                    "><td><code>" + Escaped(line.text) + "</code>" + line.details +
                    "</td><td><code>" + Escaped(line.log) + "</code></td><td>" +
                    std::to_string(line.result) + "</td><td>" + Fixed(line.ms, 1) +
                    " ms</td></tr>\n";
        }
        html += "</table>\n";
        if (!file.screenshot.empty()) {
            html += "<p>The screen when the line failed:</p><img src=\"" + file.screenshot +
                    "\" alt=\"the screen\">\n";
        }
    }
    html += "</body></html>\n";
    std::ofstream out(dir_ / "index.html", std::ios::binary | std::ios::trunc);
    out << html;
    if (!out.good()) {
        *error = "cannot write " + (dir_ / "index.html").string();
        return false;
    }
    return true;
}

}  // namespace app
