// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/bitmap.h"
#include "platform/desktop.h"
#include "platform/geometry.h"

namespace cv {
class Mat;
}

namespace vision {

// Copies a screen bitmap into a new 8-bit BGR picture, top row first, one block copy per row.
// 1 when the picture was made and stored, 0 otherwise (nothing stored).
int ConvertToMat(cv::Mat* picture, const platform::Bitmap& bitmap);

// Copies the area of the screen into a new picture. Only the area's size is limited to the
// screen's; it starts where the area does, and what lies beyond the screen is black. False,
// with nothing stored, for an empty area or when no copy could be made.
bool CaptureDesktop(platform::Desktop& desktop, cv::Mat* picture, const platform::Rect& area);

}  // namespace vision
