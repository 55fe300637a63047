// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace platform::wayland {

// Where red, green and blue lie in one pixel of a packed wl_shm format: the pixel read as a
// little-endian number of `bytes` bytes, each channel `bits` wide at `shift`.
struct PixelLayout {
    int bytes = 4;
    int red_shift = 16, red_bits = 8;
    int green_shift = 8, green_bits = 8;
    int blue_shift = 0, blue_bits = 8;
};

// The layout of a packed RGB wl_shm format; nothing for formats we cannot read (YUV, floats,
// palettes).
std::optional<PixelLayout> LayoutOf(std::uint32_t shm_format);

// True when the format's bytes already are blue, green, red and a pad byte, the layout a
// bitmap takes as it is.
bool IsBgrx(std::uint32_t shm_format);

// Converts width pixels of one row to blue-green-red bytes.
void ToBgr(const PixelLayout& layout, const std::uint8_t* from, std::int32_t width,
           std::uint8_t* to);

}  // namespace platform::wayland
