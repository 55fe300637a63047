// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/pixel_formats.h"

#include <wayland-client-protocol.h>

#include <array>

namespace platform::wayland {
namespace {

struct Entry {
    std::uint32_t format;
    PixelLayout layout;
};

// Alpha and pad bits are skipped alike: a screen copy has no use for them.
constexpr std::array kFormats = {
    Entry{WL_SHM_FORMAT_XRGB8888, {4, 16, 8, 8, 8, 0, 8}},
    Entry{WL_SHM_FORMAT_ARGB8888, {4, 16, 8, 8, 8, 0, 8}},
    Entry{WL_SHM_FORMAT_XBGR8888, {4, 0, 8, 8, 8, 16, 8}},
    Entry{WL_SHM_FORMAT_ABGR8888, {4, 0, 8, 8, 8, 16, 8}},
    Entry{WL_SHM_FORMAT_RGBX8888, {4, 24, 8, 16, 8, 8, 8}},
    Entry{WL_SHM_FORMAT_RGBA8888, {4, 24, 8, 16, 8, 8, 8}},
    Entry{WL_SHM_FORMAT_BGRX8888, {4, 8, 8, 16, 8, 24, 8}},
    Entry{WL_SHM_FORMAT_BGRA8888, {4, 8, 8, 16, 8, 24, 8}},
    Entry{WL_SHM_FORMAT_RGB888, {3, 16, 8, 8, 8, 0, 8}},
    Entry{WL_SHM_FORMAT_BGR888, {3, 0, 8, 8, 8, 16, 8}},
    Entry{WL_SHM_FORMAT_RGB565, {2, 11, 5, 5, 6, 0, 5}},
    Entry{WL_SHM_FORMAT_BGR565, {2, 0, 5, 5, 6, 11, 5}},
    Entry{WL_SHM_FORMAT_XRGB1555, {2, 10, 5, 5, 5, 0, 5}},
    Entry{WL_SHM_FORMAT_ARGB1555, {2, 10, 5, 5, 5, 0, 5}},
    Entry{WL_SHM_FORMAT_XBGR1555, {2, 0, 5, 5, 5, 10, 5}},
    Entry{WL_SHM_FORMAT_ABGR1555, {2, 0, 5, 5, 5, 10, 5}},
    Entry{WL_SHM_FORMAT_RGBX5551, {2, 11, 5, 6, 5, 1, 5}},
    Entry{WL_SHM_FORMAT_RGBA5551, {2, 11, 5, 6, 5, 1, 5}},
    Entry{WL_SHM_FORMAT_BGRX5551, {2, 1, 5, 6, 5, 11, 5}},
    Entry{WL_SHM_FORMAT_BGRA5551, {2, 1, 5, 6, 5, 11, 5}},
    Entry{WL_SHM_FORMAT_XRGB4444, {2, 8, 4, 4, 4, 0, 4}},
    Entry{WL_SHM_FORMAT_ARGB4444, {2, 8, 4, 4, 4, 0, 4}},
    Entry{WL_SHM_FORMAT_XBGR4444, {2, 0, 4, 4, 4, 8, 4}},
    Entry{WL_SHM_FORMAT_ABGR4444, {2, 0, 4, 4, 4, 8, 4}},
    Entry{WL_SHM_FORMAT_RGBX4444, {2, 12, 4, 8, 4, 4, 4}},
    Entry{WL_SHM_FORMAT_RGBA4444, {2, 12, 4, 8, 4, 4, 4}},
    Entry{WL_SHM_FORMAT_BGRX4444, {2, 4, 4, 8, 4, 12, 4}},
    Entry{WL_SHM_FORMAT_BGRA4444, {2, 4, 4, 8, 4, 12, 4}},
    Entry{WL_SHM_FORMAT_RGB332, {1, 5, 3, 2, 3, 0, 2}},
    Entry{WL_SHM_FORMAT_BGR233, {1, 0, 3, 3, 3, 6, 2}},
    Entry{WL_SHM_FORMAT_XRGB2101010, {4, 20, 10, 10, 10, 0, 10}},
    Entry{WL_SHM_FORMAT_ARGB2101010, {4, 20, 10, 10, 10, 0, 10}},
    Entry{WL_SHM_FORMAT_XBGR2101010, {4, 0, 10, 10, 10, 20, 10}},
    Entry{WL_SHM_FORMAT_ABGR2101010, {4, 0, 10, 10, 10, 20, 10}},
    Entry{WL_SHM_FORMAT_RGBX1010102, {4, 22, 10, 12, 10, 2, 10}},
    Entry{WL_SHM_FORMAT_RGBA1010102, {4, 22, 10, 12, 10, 2, 10}},
    Entry{WL_SHM_FORMAT_BGRX1010102, {4, 2, 10, 12, 10, 22, 10}},
    Entry{WL_SHM_FORMAT_BGRA1010102, {4, 2, 10, 12, 10, 22, 10}},
    Entry{WL_SHM_FORMAT_XRGB16161616, {8, 32, 16, 16, 16, 0, 16}},
    Entry{WL_SHM_FORMAT_ARGB16161616, {8, 32, 16, 16, 16, 0, 16}},
    Entry{WL_SHM_FORMAT_XBGR16161616, {8, 0, 16, 16, 16, 32, 16}},
    Entry{WL_SHM_FORMAT_ABGR16161616, {8, 0, 16, 16, 16, 32, 16}},
};

// A channel widened or narrowed to 8 bits; narrow ones repeat their top bits, so that full
// intensity stays 255.
std::uint8_t Channel(std::uint64_t pixel, int shift, int bits) {
    const auto value = static_cast<std::uint32_t>((pixel >> shift) & ((1ull << bits) - 1));
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    std::uint32_t wide = 0;
    for (int filled = 0; filled < 8; filled += bits) wide = (wide << bits) | value;
    const int total = ((8 + bits - 1) / bits) * bits;
    return static_cast<std::uint8_t>(wide >> (total - 8));
}

}  // namespace

std::optional<PixelLayout> LayoutOf(std::uint32_t shm_format) {
    for (const Entry& entry : kFormats) {
        if (entry.format == shm_format) return entry.layout;
    }
    return std::nullopt;
}

bool IsBgrx(std::uint32_t shm_format) {
    return shm_format == WL_SHM_FORMAT_XRGB8888 || shm_format == WL_SHM_FORMAT_ARGB8888;
}

void ToBgr(const PixelLayout& layout, const std::uint8_t* from, std::int32_t width,
           std::uint8_t* to) {
    for (std::int32_t x = 0; x < width; ++x, from += layout.bytes, to += 3) {
        std::uint64_t pixel = 0;
        for (int i = layout.bytes - 1; i >= 0; --i) pixel = (pixel << 8) | from[i];
        to[0] = Channel(pixel, layout.blue_shift, layout.blue_bits);
        to[1] = Channel(pixel, layout.green_shift, layout.green_bits);
        to[2] = Channel(pixel, layout.red_shift, layout.red_bits);
    }
}

}  // namespace platform::wayland
