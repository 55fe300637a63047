// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/system/linux/keysyms.h"

namespace platform::x11 {

using platform::KeysymForVirtualKey;

// The keysyms whose keys make a virtual key count as down. The generic VK_SHIFT, VK_CONTROL
// and VK_MENU stand for either side, as GetAsyncKeyState has it; unused entries are NoSymbol.
std::array<KeySym, 2> StateKeysymsForVirtualKey(std::uint8_t vk);

// Key codes for keysyms, from the server's keymap as it is at the moment of asking.
//
// Where no key gives a keysym without modifiers (KP_Separator is often on no key at all), a
// spare key code, one without keysyms, is borrowed and mapped to it. The code is given back
// (its keysyms cleared) only once its key is up and the keyboard has been idle for a grace
// time: clients look the keysym up in the server's keymap as it is when they handle the
// event, which on a busy machine can be long after we sent it, and would find nothing if the
// map had been cleared meanwhile.
class Keymap {
  public:
    explicit Keymap(Display* display);
    ~Keymap();
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;

    // The key code to press for sym, counted as held until Released; 0 when no key gives it
    // and no spare code is left.
    KeyCode Press(KeySym sym);
    void Released(KeyCode code);
    // Notes a key event: borrowed codes stay while the keyboard is in use.
    void Touch() { last_key_ = std::chrono::steady_clock::now(); }
    // The key code that gives sym now, borrowed ones included, without borrowing; 0 if none.
    KeyCode Find(KeySym sym);
    // Gives back borrowed codes that are up, once the keyboard has been idle for the grace
    // time; all of them when force is set, after waiting out the rest of the grace.
    void GiveBackDue(bool force);
    bool HasBorrowed() const { return !borrowed_.empty(); }

    // True when a key that gives one of syms without modifiers is down in keys, the bit
    // vector of XQueryKeymap.
    bool AnyDown(const std::array<KeySym, 2>& syms, const char keys[32]);

    static constexpr std::chrono::milliseconds kGrace{1000};

  private:
    struct Borrowed {
        KeyCode code;
        KeySym sym;
        int holders;
    };

    // The core keymap: keysyms_per_code keysyms for each code from min_code_ upwards.
    bool ReadMap();
    KeySym At(int code, int index) const;
    bool SetCode(KeyCode code, KeySym sym);

    Display* display_;
    int min_code_ = 8;
    int max_code_ = 255;
    int per_code_ = 0;
    std::vector<KeySym> map_;
    std::vector<Borrowed> borrowed_;
    // The last press or release of any key.
    std::chrono::steady_clock::time_point last_key_;
};

}  // namespace platform::x11
