#pragma once

#include <cstdint>

#include "platform/desktop.h"

namespace input {

// Code 4 moves the pointer to the screen pixel (x, y); 5 clicks the left button, 6 presses it,
// 7 releases it, 8 clicks the right button, where the pointer is. 0 when sent; -1 for another
// code, or for a move when there is no screen to move on.
int SendMouse(platform::Desktop& desktop, int code, std::uint32_t x, std::uint32_t y);

}  // namespace input
