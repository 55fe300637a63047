// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/desktop.h"
#include "platform/wayland/connection.h"
#include "platform/wayland/keymap.h"

struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_v1;

namespace platform::wayland {

// One virtual pointer and one virtual keyboard, kept for the connection's lifetime: sway 1.7
// can crash when short-lived virtual pointers come and go while XWayland is connected.
class VirtualInput {
  public:
    // Creates both devices and waits until the seat has them: events sent earlier are lost.
    static std::unique_ptr<VirtualInput> Create(Connection& connection, std::string& error);
    ~VirtualInput();
    VirtualInput(const VirtualInput&) = delete;
    VirtualInput& operator=(const VirtualInput&) = delete;

    // Moves the pointer to a point of the layout box.
    void Move(Point to, Rect layout_box);
    void Press(Button button, bool down);
    // False when the program has no key for vk.
    bool Key(std::uint8_t vk, bool down);

  private:
    explicit VirtualInput(Connection& connection) : connection_(connection) {}
    std::uint32_t Now() const;

    Connection& connection_;
    std::unique_ptr<VirtualKeymap> keymap_;
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    Modifiers modifiers_;
    std::int64_t started_ms_ = 0;
};

}  // namespace platform::wayland
