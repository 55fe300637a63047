// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/geometry.h"

#include <algorithm>

namespace platform {

Rect VisiblePart(Size screen, std::int32_t left, std::int32_t top, std::int32_t width,
                 std::int32_t height) {
    const auto clamp = [](std::int64_t v, std::int32_t size) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, std::max(size, 0)));
    };
    return {clamp(left, screen.width), clamp(top, screen.height),
            clamp(std::int64_t{left} + width, screen.width),
            clamp(std::int64_t{top} + height, screen.height)};
}

}  // namespace platform
