// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <opencv2/core/mat.hpp>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "vision/matcher/fast_matcher.h"

namespace app {

// A template made from a selection of a screenshot, and the line that finds it again.
struct TemplateCapture {
    std::string error;             // why nothing was made; empty when it was
    std::string path;              // Images/N.bmp
    platform::Rect area;           // the search area: the selection and a margin, on the screen
    double threshold = 0;          // per cent: between the template's score and the runner-up's
    double runner_up = 0;          // the best score elsewhere on the screen, 0 to 1
    platform::Point runner_up_at;  // the centre of that placement, in screen pixels
    std::string line;              // "IMG_CLK N,left,top,right,bottom,threshold"
    std::string warning;           // when the runner-up scores close to the template itself
};

// How a template cut from a screenshot stands out on it, in the screenshot's pixels.
struct TemplateScore {
    double own = 0;                // the template's score at its own place: 1 unless it is black
    double runner_up = 0;          // the best score at least half a template away, 0 to 1
    platform::Point runner_up_at;  // the centre of that placement
    double threshold = 0;          // per cent, in tenths: midway between the two
    platform::Rect area;           // the cut and a margin around it, clipped to the screenshot
};

// The area a line searches for a cut: the cut and a margin of half its longer side, 50 pixels
// at least, clipped to a screenshot of width x height.
platform::Rect SearchArea(const platform::Rect& cut, int width, int height);

// Scores the cut (inside the screenshot) against every placement on the screenshot with the
// matcher's buffers; false when there is no memory to do so. When a rival near the cut scores
// above enough, the search ends there and the runner-up is that rival: a place above enough,
// not always the best one.
bool ScoreTemplate(vision::FastMatcher& matcher, const cv::Mat& screen, const platform::Rect& cut,
                   TemplateScore* score, double enough = HUGE_VAL);

// Saves the picture as a 24-bit BMP file at path, making its folder when missing. A picture
// that could not be written whole is removed, with the reason in error.
bool WriteTemplate(const std::string& path, const cv::Mat& templ, std::string* error);

// One decimal at most: 93 or 98.5.
std::string Percent(double value);

// "KEYWORD N,left,top,right,bottom,threshold".
std::string TemplateLine(std::string_view keyword, std::int32_t number, const platform::Rect& area,
                         double threshold);

// Cuts the selection (screen pixels, clipped to the screen) out of the screenshot and saves
// it as Images/N.bmp, 24-bit, making Images/ when missing. overwrite is asked, with the path,
// before an existing file is replaced; no answers false by default and nothing is made then.
// The threshold lies between the template's own score and the best score of any placement at
// least half a template away from the selection.
TemplateCapture MakeTemplate(const cv::Mat& screen, std::int32_t number,
                             const platform::Rect& selection,
                             const std::function<bool(const std::string& path)>& overwrite);

}  // namespace app
