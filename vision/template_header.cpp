// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/template_header.h"

namespace vision {
namespace {

std::uint32_t Little32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

std::uint16_t Little16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t Big32(std::string_view b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

std::optional<DeclaredSize> Bmp(std::string_view head) {
    if (head.size() < 26) return std::nullopt;
    const std::uint32_t info_size = Little32(head, 14);
    if (info_size == 12) {  // the old OS/2 header: unsigned 16-bit sizes
        return DeclaredSize{Little16(head, 18), Little16(head, 20)};
    }
    // Width and height are signed; a negative height means rows stored top-down.
    const auto width = static_cast<std::int32_t>(Little32(head, 18));
    const auto height = static_cast<std::int32_t>(Little32(head, 22));
    const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
    if (width <= 0 || rows == 0) return DeclaredSize{};
    return DeclaredSize{width, rows};
}

std::optional<DeclaredSize> Png(std::string_view head) {
    if (head.size() < 24 || head.substr(12, 4) != "IHDR") return std::nullopt;
    const std::uint32_t width = Big32(head, 16);
    const std::uint32_t height = Big32(head, 20);
    // PNG sizes above 2^31 - 1 are invalid.
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
        return DeclaredSize{};
    }
    return DeclaredSize{width, height};
}

}  // namespace

std::optional<DeclaredSize> PeekDeclaredSize(std::string_view head) {
    if (head.substr(0, 2) == "BM") return Bmp(head);
    if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return Png(head);
    return std::nullopt;
}

}  // namespace vision
