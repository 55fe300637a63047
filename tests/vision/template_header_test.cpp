// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "vision/template_header.h"

namespace {

std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}
std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string BmpHead(std::uint32_t info, std::uint32_t w, std::uint32_t h) {
    return "BM" + std::string(12, '\0') + Le32(info) + Le32(w) + Le32(h) + std::string(6, '\0');
}
std::string PngHead(std::uint32_t w, std::uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IHDR" + Be32(w) + Be32(h);
}

TEST(PeekDeclaredSize, ReadsWhatTheHeaderClaims) {
    struct Case {
        const char* name;
        std::string head;
        bool known;
        std::int64_t width, height;
    };
    const Case cases[] = {
        {"bmp", BmpHead(40, 31, 20), true, 31, 20},
        {"bmp top-down", BmpHead(124, 8, static_cast<std::uint32_t>(-6)), true, 8, 6},
        {"bmp claiming 100000 square", BmpHead(40, 100000, 100000), true, 100000, 100000},
        {"bmp lowest height", BmpHead(40, 3, 0x80000000u), true, 3, 2147483648LL},
        {"bmp negative width", BmpHead(40, static_cast<std::uint32_t>(-3), 4), true, 0, 0},
        {"os/2 bmp",
         "BM" + std::string(12, '\0') + Le32(12) + std::string("\x10\x00\x20\x00", 4) +
             std::string(8, '\0'),
         true, 16, 32},
        {"bmp cut short", "BM" + std::string(10, '\0'), false, 0, 0},
        {"png", PngHead(640, 480), true, 640, 480},
        {"png too large to be valid", PngHead(0x80000000u, 1), true, 0, 0},
        {"png without IHDR", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(16, 'x'), false, 0,
         0},
        {"other format", "GIF89a" + std::string(30, '\0'), false, 0, 0},
        {"empty", "", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto size = vision::PeekDeclaredSize(c.head);
        ASSERT_EQ(size.has_value(), c.known) << c.name;
        if (!size) continue;
        EXPECT_EQ(size->width, c.width) << c.name;
        EXPECT_EQ(size->height, c.height) << c.name;
    }
}

}  // namespace
