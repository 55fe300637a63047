// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <opencv2/core/mat.hpp>
#include <string>

#include "platform/geometry.h"

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

// Cuts the selection (screen pixels, clipped to the screen) out of the screenshot and saves
// it as Images/N.bmp, 24-bit, making Images/ when missing. overwrite is asked, with the path,
// before an existing file is replaced; no answers false by default and nothing is made then.
// The threshold lies between the template's own score and the best score of any placement at
// least half a template away from the selection.
TemplateCapture MakeTemplate(const cv::Mat& screen, std::int32_t number,
                             const platform::Rect& selection,
                             const std::function<bool(const std::string& path)>& overwrite);

}  // namespace app
