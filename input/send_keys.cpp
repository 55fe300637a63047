#include <cstdlib>

#include "engine/event_maker.h"
#include "engine/keyword_table.h"
#include "input/typing_table.h"
#include "platform/desktop.h"

int CEvent_Maker::SendKeys(int mode, std::string_view text) {
    platform::Desktop& desktop = platform::Active();
    if (mode == 0) {
        for (const char c : text) {
            const KeyStroke stroke = TypingStroke(static_cast<unsigned char>(c), m_typeSpaces);
            for (int i = 0; i < stroke.count; ++i) {
                desktop.KeyEvent(stroke.steps[i].vk, stroke.steps[i].down);
            }
            if (m_typeDelayMax > 0) Wait(std::rand() % m_typeDelayMax);
        }
        return static_cast<int>(text.size());
    }
    if (mode < 1 || mode > 3) return 0;

    const auto key = FindKeyName(text);
    if (!key) return -1;
    // Only the low byte of the table entry is the virtual-key code.
    const auto vk = static_cast<std::uint8_t>(g_keyCodes[*key] & 0xFF);
    if (mode == 1 || mode == 2) desktop.KeyEvent(vk, true);
    if (mode == 1 || mode == 3) desktop.KeyEvent(vk, false);
    return 1;
}
