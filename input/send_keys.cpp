// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/send_keys.h"

#include "input/typing_table.h"

namespace input {

int TypeText(platform::Desktop& desktop, std::string_view text, bool type_spaces) {
    for (const char c : text) {
        const KeyStroke stroke = TypingStroke(static_cast<unsigned char>(c), type_spaces);
        for (int i = 0; i < stroke.count; ++i) {
            desktop.PressKey(stroke.steps[i].vk, stroke.steps[i].down);
        }
    }
    return static_cast<int>(text.size());
}

void SendKey(platform::Desktop& desktop, std::uint8_t vk, KeyAction action) {
    if (action != KeyAction::kRelease) desktop.PressKey(vk, true);
    if (action != KeyAction::kPress) desktop.PressKey(vk, false);
}

}  // namespace input
