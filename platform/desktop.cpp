// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop.h"

#include <algorithm>

namespace platform {

void Desktop::MovePointer(Point to) {
    SendPointerMove(to);
}

void Desktop::PressButton(Button button, bool down) {
    SendButton(button, down);
    if (button == Button::kLeft) left_held_ = down;
}

void Desktop::PressKey(std::uint8_t vk, bool down) {
    SendKey(vk, down);
    auto it = std::find(held_keys_.begin(), held_keys_.end(), vk);
    if (down && it == held_keys_.end()) held_keys_.push_back(vk);
    if (!down && it != held_keys_.end()) held_keys_.erase(it);
}

void Desktop::ReleaseHeldInput() {
    while (!held_keys_.empty()) PressKey(held_keys_.back(), false);
    if (left_held_) PressButton(Button::kLeft, false);
}

std::unique_ptr<InputWatch> Desktop::WatchInput(std::string& error) {
    error = "this desktop does not let a program watch the mouse and keyboard";
    return nullptr;
}

}  // namespace platform
