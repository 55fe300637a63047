// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace input {

// The key events that type one byte of a text. Bytes are never combined into characters:
// each byte of a double-byte character is looked up on its own.
struct KeyStep {
    std::uint8_t vk;
    bool down;
};

struct KeyStroke {
    std::array<KeyStep, 4> steps{};
    int count = 0;
};

// Empty for a byte outside the table (lower-case letters, most punctuation, bytes >= 0x80),
// and for a space when spaces are not typed.
KeyStroke TypingStroke(unsigned char byte, bool type_spaces);

// The byte that TypingStroke types as the text on both layouts it serves, spaces typed: the
// capital letter for a lower-case one, which is what its key gives without Shift. Nothing for
// a text no byte types (capital letters among them).
std::optional<char> ByteTyping(std::string_view text);

}  // namespace input
