// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/keymap.h"

#include <X11/keysym.h>

#include <algorithm>
#include <thread>

#include "platform/virtual_keys.h"
#include "platform/x11/display.h"

namespace platform::x11 {
namespace {

// Windows virtual-key codes that only this table needs.
enum : std::uint8_t {
    kTab = 0x09,
    kClear = 0x0C,
    kPause = 0x13,
    kCapital = 0x14,
    kPrior = 0x21,
    kNext = 0x22,
    kEnd = 0x23,
    kHome = 0x24,
    kInsert = 0x2D,
    kRWin = 0x5C,
    kApps = 0x5D,
    kNumpad0 = 0x60,
    kMultiply = 0x6A,
    kAdd = 0x6B,
    kF1 = 0x70,
    kF24 = 0x87,
    kNumLock = 0x90,
    kScroll = 0x91,
    kLShift = 0xA0,
    kRShift = 0xA1,
    kLControl = 0xA2,
    kLMenu = 0xA4,
    kRMenu = 0xA5,
};

}  // namespace

KeySym KeysymForVirtualKey(std::uint8_t code) {
    // Windows' letter keys type the lower-case letter when no modifier is held.
    if (code >= 'A' && code <= 'Z') return XK_a + (code - 'A');
    if (code >= '0' && code <= '9') return XK_0 + (code - '0');
    if (code >= kNumpad0 && code <= kNumpad0 + 9) return XK_KP_0 + (code - kNumpad0);
    if (code >= kF1 && code <= kF24) return XK_F1 + (code - kF1);
    switch (code) {
        case vk::kBack:
            return XK_BackSpace;
        case kTab:
            return XK_Tab;
        case kClear:
            return XK_Clear;
        case vk::kReturn:
            return XK_Return;
        case vk::kShift:
            return XK_Shift_L;
        case vk::kControl:
            return XK_Control_L;
        case vk::kMenu:
            return XK_Alt_L;
        case kPause:
            return XK_Pause;
        case kCapital:
            return XK_Caps_Lock;
        case vk::kEscape:
            return XK_Escape;
        case vk::kSpace:
            return XK_space;
        case kPrior:
            return XK_Prior;
        case kNext:
            return XK_Next;
        case kEnd:
            return XK_End;
        case kHome:
            return XK_Home;
        case vk::kLeft:
            return XK_Left;
        case vk::kUp:
            return XK_Up;
        case vk::kRight:
            return XK_Right;
        case vk::kDown:
            return XK_Down;
        case vk::kSnapshot:
            return XK_Print;
        case kInsert:
            return XK_Insert;
        case vk::kDelete:
            return XK_Delete;
        case vk::kLWin:
            return XK_Super_L;
        case kRWin:
            return XK_Super_R;
        case kApps:
            return XK_Menu;
        case kMultiply:
            return XK_KP_Multiply;
        case kAdd:
            return XK_KP_Add;
        case vk::kSeparator:
            return XK_KP_Separator;
        case vk::kSubtract:
            return XK_KP_Subtract;
        case vk::kDecimal:
            return XK_KP_Decimal;
        case vk::kDivide:
            return XK_KP_Divide;
        case kNumLock:
            return XK_Num_Lock;
        case kScroll:
            return XK_Scroll_Lock;
        case kLShift:
            return XK_Shift_L;
        case kRShift:
            return XK_Shift_R;
        case kLControl:
            return XK_Control_L;
        case vk::kRControl:
            return XK_Control_R;
        case kLMenu:
            return XK_Alt_L;
        case kRMenu:
            return XK_Alt_R;
        case vk::kOemComma:
            return XK_comma;
        case vk::kOem2:
            return XK_slash;
        default:
            return NoSymbol;
    }
}

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
