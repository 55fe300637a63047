// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/desktop.h"

namespace input {

// Types text byte by byte as the typing table says; a space only when type_spaces is set.
// Returns the number of bytes, typed or skipped.
int TypeText(platform::Desktop& desktop, std::string_view text, bool type_spaces);

enum class KeyAction {
    kTap,      // press and release
    kPress,    // press and keep down
    kRelease,  // let go
};

// Acts on the key of a virtual-key code.
void SendKey(platform::Desktop& desktop, std::uint8_t vk, KeyAction action);

}  // namespace input
