// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "platform/geometry.h"

namespace cv {
class Mat;
}

namespace app {

// Shows the screenshot over the whole screen and lets the user drag a rectangle on it; Escape
// cancels. The rectangle in the screenshot's pixels (the screen's), or nothing when cancelled.
// Needs the dialog toolkit running.
std::optional<platform::Rect> SelectArea(const cv::Mat& screenshot);

// The same for a program that has not started the toolkit: starts it for the overlay alone.
std::optional<platform::Rect> SelectAreaAlone(const cv::Mat& screenshot);

}  // namespace app
