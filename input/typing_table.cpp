// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/typing_table.h"

#include "platform/virtual_keys.h"

namespace input {
namespace {

KeyStroke Tap(std::uint8_t vk) {
    return {{{{vk, true}, {vk, false}}}, 2};
}

KeyStroke Shifted(std::uint8_t vk) {
    using platform::vk::kShift;
    return {{{{kShift, true}, {vk, true}, {vk, false}, {kShift, false}}}, 4};
}

}  // namespace

KeyStroke TypingStroke(unsigned char byte, bool type_spaces) {
    namespace vk = platform::vk;
    // Capital letters and digits share their byte values with their virtual-key codes.
    if ((byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) return Tap(byte);
    switch (byte) {
        case ' ':
            return type_spaces ? Tap(vk::kSpace) : KeyStroke{};
        case '-':
            return Tap(vk::kSubtract);
        // The keypad's keys give the same character with or without Shift, and its separator
        // key types '.' under some layouts: '?' and ',' come from the main keyboard.
        case '?':
            return Shifted(vk::kOem2);
        case '!':
            return Shifted('1');
        case ',':
            return Tap(vk::kOemComma);
        case '.':
            return Tap(vk::kDecimal);
        case '/':
            return Tap(vk::kDivide);
        default:
            return {};
    }
}

std::optional<char> ByteTyping(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    const char c = text[0];
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if ((c >= '0' && c <= '9') || std::string_view(" -?!,./").find(c) != std::string_view::npos) {
        return c;
    }
    return std::nullopt;
}

}  // namespace input
