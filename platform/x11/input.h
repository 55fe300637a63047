#pragma once

#include <cstdint>

namespace platform::x11 {

// The pixel for an absolute coordinate d in 0..65535 over size pixels: round(d * size / 65535),
// kept inside the screen. For every pixel p below size, d = p * 65535 / size (truncated, as
// the engine sends it) gives p back, as long as size is below 32768.
std::int32_t PixelFromAbsolute(std::uint32_t d, std::int32_t size);

}  // namespace platform::x11
