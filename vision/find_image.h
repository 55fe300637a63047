// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <opencv2/core/mat.hpp>
#include <string>

#include "platform/desktop.h"
#include "platform/geometry.h"
#include "vision/matcher/matcher.h"

namespace vision {

// Why a search could not be made.
enum class SearchFailure {
    kNone,                // searched: the best placement and its score are set
    kCapture,             // the area is empty or could not be copied
    kUnreadableTemplate,  // missing, unreadable, or not a picture
    kTemplateTooLarge,    // larger than the captured area
    kError,               // the matcher failed (no memory)
};

struct ImageSearch {
    SearchFailure failure = SearchFailure::kCapture;
    platform::Point centre;  // of the best placement, in screen pixels
    double score = 0;        // its normalised cross-correlation, 0 to 1
    cv::Mat picture;         // the area as captured, when it was
    cv::Rect best;           // the best placement within the picture

    bool searched() const { return failure == SearchFailure::kNone; }
};

enum class TemplateLoad {
    kLoaded,
    kMissing,      // no such file (or not a regular file)
    kUnreadable,   // it cannot be read
    kNotAPicture,  // no decoder takes it
    kTooLarge,     // larger than the limit, declared or decoded
};

// Reads a template as an 8-bit three-channel BGR picture, as the desktop picture is: an alpha
// channel is dropped, a grey picture widened. A file that declares a picture larger than limit
// is refused before it is decoded, so that a header claiming a huge size never makes the
// decoder reserve memory for it. Throws what OpenCV throws (no memory).
TemplateLoad LoadTemplate(const std::string& path, cv::Size limit, cv::Mat* out);

// Captures the area, reads the template file and finds its best placement with the matcher
// (without one, with a fast matcher of the search's own).
ImageSearch FindImage(platform::Desktop& desktop, const platform::Rect& area,
                      const std::string& path, const std::shared_ptr<Matcher>& matcher);

// The same against a threshold (per cent). When no score x 100 is above it, the best placement
// is only worth its cost when someone looks at it: with best_always the search then finds it,
// without it the score is 0 and the placement the area's corner.
ImageSearch FindImage(platform::Desktop& desktop, const platform::Rect& area,
                      const std::string& path, const std::shared_ptr<Matcher>& matcher,
                      double threshold, bool best_always);

}  // namespace vision
