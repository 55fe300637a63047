// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The target window's logo, the picture scripts and tests search for: the same pixels in the
// X11 and the Windows target.
namespace target_logo {

constexpr int kLogoX = 16;  // its top-left corner in the window's client area
constexpr int kLogoY = 16;
constexpr int kLogoSize = 64;

struct Rgb {
    std::uint8_t r, g, b;
};

// A pattern that occurs nowhere else: colour ramps crossed with an XOR texture, in a frame
// whose colour a click swaps.
Rgb LogoPixel(int x, int y, bool clicked);

// Writes the logo, as it looks before any click, as a 24-bit BMP file.
bool SaveLogo(const char* path);

}  // namespace target_logo
