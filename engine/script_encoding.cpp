// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/script_encoding.h"

#include <cstddef>

namespace engine {
namespace {

unsigned char Byte(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const unsigned char lead = Byte(text, pos);
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        // Length of the sequence, and the range of its second byte, which rules out overlong
        // forms, surrogates and values above U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (text.size() - pos < length) return false;
        const unsigned char second = Byte(text, pos + 1);
        if (second < low || second > high) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if ((Byte(text, pos + i) & 0xC0) != 0x80) return false;
        }
        pos += length;
    }
    return true;
}

}  // namespace engine
