// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace platform::win32 {

// The absolute coordinate (0..65535) that Windows maps back to pixel p over size pixels.
// Windows takes floor(d * size / 65536), so p * 65536 / size rounded up lands on p itself,
// where the plain quotient would land one pixel before most targets. A pixel off the screen
// is taken as the nearest edge.
std::uint32_t WindowsAbsoluteFromPixel(std::int32_t p, std::int32_t size);

}  // namespace platform::win32
