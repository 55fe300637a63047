// SPDX-License-Identifier: GPL-3.0-or-later
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

// What an earlier failing line leaves in the error text.
const std::string kEarlierLine = "WAIT x";
const std::string kUntouched = "STRING's ARG ERROR : " + kEarlierLine;

const auto MoveTo = InputEvent::Move;
const InputEvent kLeftDown = InputEvent::Button(platform::Button::kLeft, true);
const InputEvent kLeftUp = InputEvent::Button(platform::Button::kLeft, false);
const InputEvent kRightDown = InputEvent::Button(platform::Button::kRight, true);
const InputEvent kRightUp = InputEvent::Button(platform::Button::kRight, false);
const auto Down = [](std::uint8_t key) { return InputEvent::Key(key, true); };
const auto Up = [](std::uint8_t key) { return InputEvent::Key(key, false); };

struct ExecuteCase {
    std::string line;
    int result;
    std::string log;
    std::vector<InputEvent> events = {};
    std::uint64_t waited = 0;
    std::string error = kUntouched;  // kUntouched: the error text keeps its earlier text
};

void PrintTo(const ExecuteCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

// A line whose arguments do not scan: nothing happens and the error names the line.
const auto Refused = [](const std::string& line) {
    return ExecuteCase{line, -1, "", {}, 0, "STRING's ARG ERROR : " + line};
};

class ExecuteTest : public ::testing::TestWithParam<ExecuteCase> {};

TEST_P(ExecuteTest, LogErrorResultAndEvents) {
    const ExecuteCase& c = GetParam();
    FakeDesktop desktop(1920, 1080);
    CEvent_Maker engine(desktop);
    ASSERT_EQ(engine.Execute(kEarlierLine), -1);
    EXPECT_EQ(engine.Execute(c.line), c.result);
    EXPECT_EQ(engine.GetLog(), c.log);
    EXPECT_EQ(engine.GetErrorText(), c.error);
    EXPECT_EQ(desktop.events, c.events);
    EXPECT_EQ(desktop.now_ms, c.waited);
}

INSTANTIATE_TEST_SUITE_P(
    KeywordMatch, ExecuteTest,
    ::testing::Values(ExecuteCase{";", 0, ""}, ExecuteCase{"; any note", 0, ""},
                      ExecuteCase{";note", -1, ""}, ExecuteCase{"mov 10,20", -1, ""},
                      ExecuteCase{" MOV 10,20", -1, ""}, ExecuteCase{"MOV\t10,20", -1, ""},
                      ExecuteCase{"MOV10,20", -1, ""}, ExecuteCase{"   ", -1, ""},
                      ExecuteCase{std::string("\xEF\xBB\xBF") + "CLK", -1, ""},
                      ExecuteCase{"UP", -1, ""}));

INSTANTIATE_TEST_SUITE_P(
    PointerCommands, ExecuteTest,
    ::testing::Values(ExecuteCase{"MOV 100,200", 0, "(100,200) へ移動\n", {MoveTo(100, 200)}},
                      ExecuteCase{"MOV 100, 200", 0, "(100, 200) へ移動\n", {MoveTo(100, 200)}},
                      ExecuteCase{"MOV 1,2 and more", 0, "(1,2 and more) へ移動\n", {MoveTo(1, 2)}},
                      ExecuteCase{"MOV 1,2,3", 0, "(1,2,3) へ移動\n", {MoveTo(1, 2)}},
                      Refused("MOV 100 ,200"), Refused("MOV 100"), Refused("MOV"),
                      Refused("MOV 99999999999,5"),
                      // Off-screen coordinates are held at the screen's edges instead of wrapping.
                      ExecuteCase{"MOV -5,20", 0, "(-5,20) へ移動\n", {MoveTo(0, 20)}},
                      ExecuteCase{"MOV 2147483647,-2147483648",
                                  0,
                                  "(2147483647,-2147483648) へ移動\n",
                                  {MoveTo(1919, 0)}},
                      ExecuteCase{"CLK", 0, "クリック\n", {kLeftDown, kLeftUp}},
                      ExecuteCase{"CLK 5,5", 0, "クリック\n", {kLeftDown, kLeftUp}},
                      ExecuteCase{"DRAG 1,2", 0, "ドラッグ\n", {kLeftDown}},
                      ExecuteCase{"DROP", 0, "ドロップ\n", {kLeftUp}},
                      ExecuteCase{"RCLICK", 0, "右クリック\n", {kRightDown, kRightUp}}));

INSTANTIATE_TEST_SUITE_P(
    KeyboardCommands, ExecuteTest,
    ::testing::Values(
        ExecuteCase{"STR", 0, "文字列入力:\n"}, ExecuteCase{"STR ", 0, "文字列入力:\n"},
        ExecuteCase{"STR  a", 2, "文字列入力: a\n", {Down(vk::kSpace), Up(vk::kSpace)}},
        ExecuteCase{"STR %s%n", 4, "文字列入力:%s%n\n"},
        ExecuteCase{"OPE RET", 1, "コマンド: RET\n", {Down(vk::kReturn), Up(vk::kReturn)}},
        ExecuteCase{"OPE ret", -1, "コマンド: ret\n"}, ExecuteCase{"OPE", -1, "コマンド: \n"},
        ExecuteCase{"OPE_ON CTRL", 1, "コマンドON: CTRL\n", {Down(vk::kControl)}},
        ExecuteCase{"OPE_OFF CTRL", 1, "コマンドOFF: CTRL\n", {Up(vk::kControl)}},
        ExecuteCase{"OPE_OFF ctrl", -1, "コマンドOFF: ctrl\n"}));

INSTANTIATE_TEST_SUITE_P(
    Wait, ExecuteTest,
    ::testing::Values(ExecuteCase{"WAIT 1500", 0, "1500ms待つ\n", {}, 1500},
                      ExecuteCase{"WAIT 1500 ms", 0, "1500 msms待つ\n", {}, 1500},
                      ExecuteCase{"WAIT   +7", 0, "  +7ms待つ\n", {}, 7},
                      ExecuteCase{"WAIT 5 6", 0, "5 6ms待つ\n", {}, 5},
                      ExecuteCase{"WAIT 0", 0, ""}, ExecuteCase{"WAIT -5", 0, ""},
                      ExecuteCase{"WAIT -2147483648", 0, ""},
                      ExecuteCase{"WAIT 2147483647", 0, "2147483647ms待つ\n", {}, 2147483647},
                      Refused("WAIT"), Refused("WAIT x"), Refused("WAIT 2147483648"),
                      Refused("WAIT 99999999999"), Refused("WAIT -2147483649"),
                      Refused("IMG_F 4294967296,0,0,10,10,50")));

}  // namespace
