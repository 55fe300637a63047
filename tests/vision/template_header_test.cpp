// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "tests/vision/vision_support.h"
#include "vision/template_header.h"

namespace {

using testing_support::Bmp;

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string PngHead(std::uint32_t w, std::uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IHDR" + Be32(w) + Be32(h);
}

TEST(PeekDeclaredSize, ReadsWhatTheHeaderClaims) {
    using Size = std::optional<std::pair<std::int64_t, std::int64_t>>;  // nothing: not known
    const struct {
        const char* name;
        std::string head;
        Size size;
    } cases[] = {
        {"bmp", Bmp(40, 31, 20), {{31, 20}}},
        {"bmp top-down", Bmp(124, 8, static_cast<std::uint32_t>(-6)), {{8, 6}}},
        {"bmp claiming 100000 square", Bmp(40, 100000, 100000), {{100000, 100000}}},
        {"bmp lowest height", Bmp(40, 3, 0x80000000u), {{3, 2147483648LL}}},
        {"bmp negative width", Bmp(40, static_cast<std::uint32_t>(-3), 4), {{0, 0}}},
        {"os/2 bmp",
         Bmp(12, 0, 0).substr(0, 18) + std::string("\x10\0\x20\0\0\0\0\0\0\0\0\0", 12),
         {{16, 32}}},
        {"bmp cut short", "BM" + std::string(10, '\0'), {}},
        {"png", PngHead(640, 480), {{640, 480}}},
        {"png too large to be valid", PngHead(0x80000000u, 1), {{0, 0}}},
        {"png without IHDR", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(16, 'x'), {}},
        {"other format", "GIF89a" + std::string(30, '\0'), {}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        const auto size = vision::PeekDeclaredSize(c.head);
        EXPECT_EQ(size ? Size({size->width, size->height}) : std::nullopt, c.size) << c.name;
    }
}

}  // namespace
