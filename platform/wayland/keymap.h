// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::wayland {

// The modifier state a virtual keyboard sends with each change: wlroots does not derive it
// from the key events.
struct Modifiers {
    std::uint32_t depressed = 0;
    std::uint32_t latched = 0;
    std::uint32_t locked = 0;
    std::uint32_t group = 0;
    bool operator==(const Modifiers&) const = default;
};

// The keymap our virtual keyboard brings with it, so that typing does not depend on the user's
// layout: every key the program presses, on the evdev code of the US keyboard's key where
// there is one (letters, digits, ',' and '/' give their US shifted characters too).
class VirtualKeymap {
  public:
    // nullptr with the reason in error when xkbcommon refuses it.
    static std::unique_ptr<VirtualKeymap> Build(std::string& error);
    ~VirtualKeymap();
    VirtualKeymap(const VirtualKeymap&) = delete;
    VirtualKeymap& operator=(const VirtualKeymap&) = delete;

    // The keymap in xkb's text form, as a virtual keyboard uploads it.
    const std::string& Text() const { return text_; }
    // The evdev code of the key for a virtual-key code; 0 when the program has none.
    std::uint32_t CodeFor(std::uint8_t vk) const { return codes_[vk]; }
    // The modifiers after the key went down or up.
    Modifiers Update(std::uint32_t evdev_code, bool down);

  private:
    VirtualKeymap() = default;
    std::uint32_t codes_[256] = {};
    std::string text_;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    xkb_state* state_ = nullptr;
};

// The US keyboard's evdev code of a virtual key; 0 for keys it does not have (our keymap gives
// those spare codes).
std::uint32_t UsKeyFor(std::uint8_t vk);

// The keymap's source, before xkbcommon reads it; codes gets each virtual key's evdev code.
std::string KeymapSource(std::uint32_t (&codes)[256]);

}  // namespace platform::wayland
