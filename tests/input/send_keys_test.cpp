#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
namespace vk = platform::vk;

// "+" pressed, "-" released: a compact way to write the expected event order.
std::vector<InputEvent> Keys(std::initializer_list<std::pair<std::uint8_t, char>> steps) {
    std::vector<InputEvent> events;
    for (auto [key, sign] : steps) events.push_back(InputEvent::Key(key, sign == '+'));
    return events;
}

struct TypingCase {
    std::string text;
    std::vector<InputEvent> events;
};

TEST(SendKeysTyping, FollowsTheTypingTableByteByByte) {
    const TypingCase cases[] = {
        {"", {}},
        {"Hello", Keys({{'H', '+'}, {'H', '-'}})},
        {"A-1?", Keys({{'A', '+'},
                       {'A', '-'},
                       {vk::kSubtract, '+'},
                       {vk::kSubtract, '-'},
                       {'1', '+'},
                       {'1', '-'},
                       {vk::kShift, '+'},
                       {vk::kDivide, '+'},
                       {vk::kDivide, '-'},
                       {vk::kShift, '-'}})},
        {"!", Keys({{vk::kShift, '+'}, {'1', '+'}, {'1', '-'}, {vk::kShift, '-'}})},
        {"Z9 ,./", Keys({{'Z', '+'},
                         {'Z', '-'},
                         {'9', '+'},
                         {'9', '-'},
                         {vk::kSpace, '+'},
                         {vk::kSpace, '-'},
                         {vk::kSeparator, '+'},
                         {vk::kSeparator, '-'},
                         {vk::kDecimal, '+'},
                         {vk::kDecimal, '-'},
                         {vk::kDivide, '+'},
                         {vk::kDivide, '-'}})},
        // Bytes outside the table send nothing but still count.
        {"az@[`{\t\x01\x7f\xff", {}},
        // The second byte of a double-byte character is looked up on its own.
        {"\x83\x41", Keys({{'A', '+'}, {'A', '-'}})},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        CEvent_Maker engine;
        EXPECT_EQ(engine.SendKeys(0, c.text), static_cast<int>(c.text.size())) << c.text;
        EXPECT_EQ(desktop.events, c.events) << c.text;
        EXPECT_TRUE(desktop.pauses.empty());
    }
}

TEST(SendKeysTyping, SpacesAreSkippedWhenNotTyped) {
    FakeDesktop desktop;
    CEvent_Maker engine;
    engine.m_typeSpaces = false;
    EXPECT_EQ(engine.SendKeys(0, "A B"), 3);
    EXPECT_EQ(desktop.events, Keys({{'A', '+'}, {'A', '-'}, {'B', '+'}, {'B', '-'}}));
}

TEST(SendKeysTyping, PausesBelowTheDelayBoundAfterEachByte) {
    FakeDesktop desktop;
    CEvent_Maker engine;
    engine.m_typeDelayMax = 5;
    engine.SendKeys(0, "ABCDEFGH");
    ASSERT_LE(desktop.pauses.size(), 8u);
    for (auto ms : desktop.pauses) EXPECT_LT(ms, 5u);
}

TEST(SendKeysNamedKey, FirstKeyNameInTableOrderWins) {
    struct Case {
        std::string text;
        int result;
        std::uint8_t key;  // 0: no event
    };
    const Case cases[] = {
        {"UP", 1, vk::kUp},
        {"DOWN", 1, vk::kDown},
        {"RIGHT", 1, vk::kRight},
        {"LEFT", 1, vk::kLeft},
        {"BS", 1, vk::kBack},
        {"RET", 1, vk::kReturn},
        {"WIN", 1, vk::kLWin},
        {"CTRL", 1, vk::kControl},
        {"ALT", 1, vk::kMenu},
        {"DEL", 1, vk::kDelete},
        {"PRT_SCR", 1, vk::kSnapshot},
        {"ESC", 1, vk::kEscape},
        {"DELETE", 1, vk::kDelete},
        {"ALT DEL", 1, vk::kMenu},
        {"ALT UP", 1, vk::kUp},
        {"WINDOW", 1, vk::kLWin},
        {"xxDOWNxx", 1, vk::kDown},
        {"ctrl", -1, 0},
        {"", -1, 0},
        {"C T R L", -1, 0},
    };
    for (const auto& c : cases) {
        for (int mode = 1; mode <= 3; ++mode) {
            FakeDesktop desktop;
            CEvent_Maker engine;
            EXPECT_EQ(engine.SendKeys(mode, c.text), c.result) << c.text << " mode " << mode;
            std::vector<InputEvent> expected;
            if (c.key && mode != 3) expected.push_back(InputEvent::Key(c.key, true));
            if (c.key && mode != 2) expected.push_back(InputEvent::Key(c.key, false));
            EXPECT_EQ(desktop.events, expected) << c.text << " mode " << mode;
        }
    }
}

TEST(SendKeysNamedKey, OtherModesDoNothing) {
    for (int mode : {4, -1, 100}) {
        FakeDesktop desktop;
        CEvent_Maker engine;
        EXPECT_EQ(engine.SendKeys(mode, "CTRL"), 0);
        EXPECT_TRUE(desktop.events.empty());
    }
}

}  // namespace
