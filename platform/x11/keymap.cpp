// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/keymap.h"

#include <X11/keysym.h>

#include <algorithm>
#include <thread>

#include "platform/virtual_keys.h"
#include "platform/x11/display.h"

namespace platform::x11 {

std::array<KeySym, 2> StateKeysymsForVirtualKey(std::uint8_t code) {
    switch (code) {
        case vk::kShift:
            return {XK_Shift_L, XK_Shift_R};
        case vk::kControl:
            return {XK_Control_L, XK_Control_R};
        case vk::kMenu:
            return {XK_Alt_L, XK_Alt_R};
        default:
            return {KeysymForVirtualKey(code), NoSymbol};
    }
}

Keymap::Keymap(Display* display) : display_(display) {
    XDisplayKeycodes(display_, &min_code_, &max_code_);
}

Keymap::~Keymap() {
    GiveBackDue(true);
}

bool Keymap::ReadMap() {
    int per_code = 0;
    const int count = max_code_ - min_code_ + 1;
    XPtr<KeySym> syms(
        XGetKeyboardMapping(display_, static_cast<KeyCode>(min_code_), count, &per_code));
    if (!syms || per_code <= 0) {
        map_.clear();
        per_code_ = 0;
        return false;
    }
    map_.assign(syms.get(), syms.get() + static_cast<std::size_t>(count) * per_code);
    per_code_ = per_code;
    return true;
}

KeySym Keymap::At(int code, int index) const {
    return map_[static_cast<std::size_t>(code - min_code_) * per_code_ + index];
}

bool Keymap::SetCode(KeyCode code, KeySym sym) {
    ErrorTrap trap(display_);
    XChangeKeyboardMapping(display_, code, 1, &sym, 1);
    const bool ok = !trap.Failed();
    // Every client, this one included, is sent a MappingNotify; ours reads no events.
    SyncAndDiscard(display_);
    return ok;
}

KeyCode Keymap::Find(KeySym sym) {
    if (sym == NoSymbol || !ReadMap()) return 0;
    for (int code = min_code_; code <= max_code_; ++code) {
        if (At(code, 0) == sym) return static_cast<KeyCode>(code);
    }
    return 0;
}

KeyCode Keymap::Press(KeySym sym) {
    if (sym == NoSymbol) return 0;
    for (Borrowed& b : borrowed_) {
        if (b.sym == sym) {
            ++b.holders;
            return b.code;
        }
    }
    if (const KeyCode code = Find(sym)) return code;
    if (map_.empty()) return 0;
    // Borrow from the top of the range, far from the codes of real keys.
    for (int code = max_code_; code >= min_code_; --code) {
        bool spare = true;
        for (int i = 0; i < per_code_ && spare; ++i) spare = At(code, i) == NoSymbol;
        if (!spare) continue;
        const auto key = static_cast<KeyCode>(code);
        if (!SetCode(key, sym)) return 0;
        borrowed_.push_back({key, sym, 1});
        return key;
    }
    return 0;
}

void Keymap::Released(KeyCode code) {
    for (Borrowed& b : borrowed_) {
        if (b.code == code && b.holders > 0) --b.holders;
    }
}

void Keymap::GiveBackDue(bool force) {
    if (borrowed_.empty()) return;
    // A server that has gone took its keymap with it: nothing to give back, nothing to wait for.
    if (ConnectionLost(display_)) {
        borrowed_.clear();
        return;
    }
    const auto idle_until = last_key_ + kGrace;
    if (force) {
        std::this_thread::sleep_until(idle_until);
    } else if (std::chrono::steady_clock::now() < idle_until ||
               std::none_of(borrowed_.begin(), borrowed_.end(),
                            [](const Borrowed& b) { return b.holders == 0; })) {
        return;
    }
    const bool have_map = ReadMap();
    std::erase_if(borrowed_, [&](const Borrowed& b) {
        if (!force && b.holders > 0) return false;
        // Someone may have loaded a new keymap meanwhile; their entry stays as it is.
        if (have_map && At(b.code, 0) == b.sym) SetCode(b.code, NoSymbol);
        return true;
    });
}

bool Keymap::AnyDown(const std::array<KeySym, 2>& syms, const char keys[32]) {
    if (syms[0] == NoSymbol || !ReadMap()) return false;
    for (int code = min_code_; code <= max_code_; ++code) {
        const KeySym sym = At(code, 0);
        if (sym == NoSymbol || (sym != syms[0] && sym != syms[1])) continue;
        if ((keys[code / 8] >> (code % 8)) & 1) return true;
    }
    return false;
}

}  // namespace platform::x11
