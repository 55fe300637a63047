// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "platform/desktop.h"
#include "platform/geometry.h"

namespace input {

// The mouse actions with their codes 4 to 8: a move to a screen pixel, then the left click, the
// left button down and up, and the right click, where the pointer is.
enum class MouseAction : int { kMove = 4, kClick, kLeftDown, kLeftUp, kRightClick };

// The pixel a move to (x, y) lands on. The coordinates go through the absolute space 0..65535
// in unsigned 32-bit arithmetic, truncated (x = 0 gives 0, x = width gives 65535), and come
// back as the desktop maps that space: the nearest pixel, kept on the screen. Below 32768
// pixels every pixel of the screen lands on itself.
platform::Point LandingPixel(std::uint32_t x, std::uint32_t y, platform::Size screen);

// Moves to the landing pixel of (x, y) on a screen of the given size. -1 when the screen has
// no size, else 0.
int MoveTo(platform::Desktop& desktop, std::uint32_t x, std::uint32_t y, platform::Size screen);

// The action; a move reads the screen's size first. 0 when sent; -1 for a move when there is
// no screen to move on.
int SendMouse(platform::Desktop& desktop, MouseAction action, std::uint32_t x, std::uint32_t y);

}  // namespace input
