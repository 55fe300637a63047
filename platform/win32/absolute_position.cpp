// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/absolute_position.h"

#include <algorithm>

namespace platform::win32 {

std::uint32_t WindowsAbsoluteFromPixel(std::int32_t p, std::int32_t size) {
    if (size <= 0) return 0;
    const std::int64_t pixel = std::clamp<std::int64_t>(p, 0, size - 1);
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>((pixel * 65536 + size - 1) / size, 65535));
}

}  // namespace platform::win32
