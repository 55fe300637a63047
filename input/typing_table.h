// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

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

}  // namespace input
