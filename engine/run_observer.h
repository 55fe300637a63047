// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "vision/find_image.h"
#include "windows/find_window.h"

namespace engine {

// Watches a run line by line, as a report does: what each line did and what its searches
// found. A run without one does no extra work.
class RunObserver {
  public:
    virtual ~RunObserver() = default;

    virtual void LineStarted(std::size_t index, const std::string& line) = 0;
    // log: what the line appended to the run log; error: the error text after a failure.
    virtual void LineFinished(std::size_t index, int result, std::string_view log,
                              std::string_view error) = 0;
    virtual void ImageSearched(const platform::Rect& area, const std::string& path,
                               const vision::ImageSearch& search) = 0;
    // The image command's verdict on the last search.
    virtual void ImageJudged(double threshold, bool found) = 0;
    virtual void WindowSearched(std::string_view title,
                                const std::optional<windows::WindowMatch>& match) = 0;
};

}  // namespace engine
