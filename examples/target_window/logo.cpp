// SPDX-License-Identifier: GPL-3.0-or-later
#include "examples/target_window/logo.h"

#include <cstdio>
#include <vector>

namespace target_logo {
namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

Rgb LogoPixel(int x, int y, bool clicked) {
    if (x < 2 || y < 2 || x >= kLogoSize - 2 || y >= kLogoSize - 2) {
        return clicked ? Rgb{0xE0, 0x20, 0x20} : Rgb{0x20, 0x20, 0x60};
    }
    return {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
            static_cast<std::uint8_t>(((x ^ y) & 0x1F) * 8)};
}

bool SaveLogo(const char* path) {
    const std::uint32_t row = (kLogoSize * 3 + 3) & ~3u;
    const std::uint32_t pixels = row * kLogoSize;
    std::vector<std::uint8_t> bmp;
    bmp.push_back('B');
    bmp.push_back('M');
    PutLe(bmp, 14 + 40 + pixels, 4);  // file size
    PutLe(bmp, 0, 4);
    PutLe(bmp, 14 + 40, 4);  // offset of the pixels
    PutLe(bmp, 40, 4);       // BITMAPINFOHEADER
    PutLe(bmp, kLogoSize, 4);
    PutLe(bmp, kLogoSize, 4);  // positive height: bottom row first
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    PutLe(bmp, 0, 4);  // no compression
    PutLe(bmp, pixels, 4);
    PutLe(bmp, 2835, 4);  // 72 dpi
    PutLe(bmp, 2835, 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 0, 4);
    for (int y = kLogoSize - 1; y >= 0; --y) {
        for (int x = 0; x < kLogoSize; ++x) {
            const Rgb c = LogoPixel(x, y, false);
            bmp.insert(bmp.end(), {c.b, c.g, c.r});
        }
        bmp.resize(bmp.size() + (row - kLogoSize * 3), 0);
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(bmp.data(), 1, bmp.size(), file) == bmp.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace target_logo
