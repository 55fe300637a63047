#include "platform/desktop.h"

#include <algorithm>

#include "platform/virtual_keys.h"

namespace platform {

void Desktop::MouseEvent(std::uint32_t flags, std::uint32_t dx, std::uint32_t dy) {
    SendMouseEvent(flags, dx, dy);
    if (flags & mouse::kLeftDown) left_held_ = true;
    if (flags & mouse::kLeftUp) left_held_ = false;
}

void Desktop::KeyEvent(std::uint8_t vk, bool down) {
    SendKeyEvent(vk, down);
    auto it = std::find(held_keys_.begin(), held_keys_.end(), vk);
    if (down && it == held_keys_.end()) held_keys_.push_back(vk);
    if (!down && it != held_keys_.end()) held_keys_.erase(it);
}

void Desktop::ReleaseHeldInput() {
    while (!held_keys_.empty()) KeyEvent(held_keys_.back(), false);
    if (left_held_) MouseEvent(mouse::kLeftUp, 0, 0);
}

}  // namespace platform
