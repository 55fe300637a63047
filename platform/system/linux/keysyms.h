// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace platform {

// The keysym (X11's and xkbcommon's numbers) that a virtual-key code produces on Windows with
// no modifier held (VK_DECIMAL: KP_Decimal, letters: the lower-case letter, VK_OEM_2: slash,
// as on US and Japanese layouts); 0 for a code we do not translate. With Shift held, a
// client reads the shifted keysym of the key found for it ('?' on the slash key).
std::uint32_t KeysymForVirtualKey(std::uint8_t vk);

// The virtual-key code of a key that gives sym without modifiers, the side of a modifier told
// apart (Control_R: VK_RCONTROL); 0 for a keysym no code stands for.
std::uint8_t VirtualKeyForKeysym(std::uint32_t sym);

}  // namespace platform
