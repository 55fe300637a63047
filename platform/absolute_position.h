#pragma once

#include <cstdint>

namespace platform {

// The pixel for an absolute coordinate d in 0..65535 over size pixels: round(d * size / 65535),
// kept inside the screen. For every pixel p below size, d = p * 65535 / size (truncated, as
// the engine sends it) gives p back, as long as size is below 32768.
std::int32_t PixelFromAbsolute(std::uint32_t d, std::int32_t size);

// The absolute coordinate that Windows maps back to pixel p over size pixels. Windows takes
// floor(d * size / 65536), so p * 65536 / size rounded up lands on p itself, where the plain
// quotient would land one pixel before most targets.
std::uint32_t WindowsAbsoluteFromPixel(std::int32_t p, std::int32_t size);

}  // namespace platform
