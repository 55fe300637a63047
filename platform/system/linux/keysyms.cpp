// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/linux/keysyms.h"

#include <X11/keysym.h>

#include "platform/virtual_keys.h"

namespace platform {
namespace {

// Windows virtual-key codes that only this table needs.
enum : std::uint8_t {
    kClear = 0x0C,
    kPause = 0x13,
    kCapital = 0x14,
    kPrior = 0x21,
    kNext = 0x22,
    kEnd = 0x23,
    kHome = 0x24,
    kInsert = 0x2D,
    kApps = 0x5D,
    kNumpad0 = 0x60,
    kMultiply = 0x6A,
    kAdd = 0x6B,
    kF1 = 0x70,
    kF24 = 0x87,
    kNumLock = 0x90,
    kScroll = 0x91,
};

}  // namespace

std::uint32_t KeysymForVirtualKey(std::uint8_t code) {
    // Windows' letter keys type the lower-case letter when no modifier is held.
    if (code >= 'A' && code <= 'Z') return XK_a + (code - 'A');
    if (code >= '0' && code <= '9') return XK_0 + (code - '0');
    if (code >= kNumpad0 && code <= kNumpad0 + 9) return XK_KP_0 + (code - kNumpad0);
    if (code >= kF1 && code <= kF24) return XK_F1 + (code - kF1);
    switch (code) {
        case vk::kBack:
            return XK_BackSpace;
        case vk::kTab:
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
        case vk::kRWin:
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
        case vk::kLShift:
            return XK_Shift_L;
        case vk::kRShift:
            return XK_Shift_R;
        case vk::kLControl:
            return XK_Control_L;
        case vk::kRControl:
            return XK_Control_R;
        case vk::kLMenu:
            return XK_Alt_L;
        case vk::kRMenu:
            return XK_Alt_R;
        case vk::kOemComma:
            return XK_comma;
        case vk::kOem2:
            return XK_slash;
        default:
            return 0;
    }
}

std::uint8_t VirtualKeyForKeysym(std::uint32_t sym) {
    // Upper-case letters come from the same keys as lower-case ones.
    if (sym >= XK_A && sym <= XK_Z) sym += XK_a - XK_A;
    if (sym == XK_ISO_Level3_Shift) return vk::kRMenu;
    if (sym == XK_Meta_L) return vk::kLMenu;
    // From the top down, so that a modifier's side comes before the generic code.
    for (int code = 255; code > 0; --code) {
        if (KeysymForVirtualKey(static_cast<std::uint8_t>(code)) == sym) {
            return static_cast<std::uint8_t>(code);
        }
    }
    return 0;
}

}  // namespace platform
