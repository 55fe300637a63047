// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "input/send_keys.h"
#include "input/typing_table.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
namespace vk = platform::vk;

constexpr int kShifted = 0x100;

// Each key pressed and released in turn; one marked kShifted is typed with shift held around it.
std::vector<InputEvent> Typed(std::initializer_list<int> keys) {
    std::vector<InputEvent> events;
    for (const int key : keys) {
        const auto code = static_cast<std::uint8_t>(key);
        if (key & kShifted) events.push_back(InputEvent::Key(vk::kShift, true));
        events.insert(events.end(), {InputEvent::Key(code, true), InputEvent::Key(code, false)});
        if (key & kShifted) events.push_back(InputEvent::Key(vk::kShift, false));
    }
    return events;
}

TEST(SendKeysTyping, FollowsTheTypingTableByteByByte) {
    const struct {
        std::string text;
        std::vector<InputEvent> events;
        bool type_spaces = true;
    } cases[] = {
        {"", {}},
        {"Hello", Typed({'H'})},
        {"A-1?", Typed({'A', vk::kSubtract, '1', kShifted | vk::kOem2})},
        {"!", Typed({kShifted | '1'})},
        {"Z09 ,./", Typed({'Z', '0', '9', vk::kSpace, vk::kOemComma, vk::kDecimal, vk::kDivide})},
        {"A B", Typed({'A', 'B'}), false},
        // Bytes outside the table send nothing but still count.
        {"az@[`{\t\x01\x7f\xff", {}},
        // The second byte of a double-byte character is looked up on its own.
        {"\x83\x41", Typed({'A'})},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        const int typed = c.type_spaces ? CEvent_Maker(desktop).SendKeys(0, c.text)
                                        : input::TypeText(desktop, c.text, false);
        EXPECT_EQ(typed, static_cast<int>(c.text.size())) << c.text;
        EXPECT_EQ(desktop.events, c.events) << c.text;
    }
}

// A recorded text becomes the byte whose keys type it again.
TEST(SendKeysTyping, ByteTypingGivesBackEachByteOfTheTable) {
    for (int byte = 1; byte < 256; ++byte) {
        if (input::TypingStroke(static_cast<unsigned char>(byte), true).count == 0) continue;
        const std::string typed(1, static_cast<char>(std::tolower(byte)));
        EXPECT_EQ(input::ByteTyping(typed), static_cast<char>(byte)) << typed;
    }
    for (const char* text : {"A", "@", "ab", "", "\t", "\xC3\xA9"}) {
        EXPECT_FALSE(input::ByteTyping(text)) << text;
    }
}

// Mode 1 presses and releases, 2 holds, 3 releases; other modes do nothing. Which key each
// name sends is checked against a real keyboard by the X11 tests.
TEST(SendKeysNamedKey, FirstKeyNameInTableOrderWins) {
    const struct {
        std::string text;
        int result;
        std::uint8_t key;  // 0: no event
    } cases[] = {
        {"CTRL", 1, vk::kControl}, {"DELETE", 1, vk::kDelete},
        {"ALT DEL", 1, vk::kMenu}, {"ALT UP", 1, vk::kUp},
        {"WINDOW", 1, vk::kLWin},  {"xxDOWNxx", 1, vk::kDown},
        {"ctrl", -1, 0},           {"", -1, 0},
        {"C T R L", -1, 0},
    };
    for (const auto& c : cases) {
        for (const int mode : {-1, 1, 2, 3, 4, 100}) {
            FakeDesktop desktop;
            CEvent_Maker engine(desktop);
            const bool named = mode >= 1 && mode <= 3;
            EXPECT_EQ(engine.SendKeys(mode, c.text), named ? c.result : 0)
                << c.text << " mode " << mode;
            std::vector<InputEvent> expected;
            if (named && c.key && mode != 3) expected.push_back(InputEvent::Key(c.key, true));
            if (named && c.key && mode != 2) expected.push_back(InputEvent::Key(c.key, false));
            EXPECT_EQ(desktop.events, expected) << c.text << " mode " << mode;
        }
    }
}

}  // namespace
