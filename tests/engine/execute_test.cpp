#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
namespace mouse = platform::mouse;
namespace vk = platform::vk;

const std::string kUntouched = "previous error";

InputEvent MoveTo(std::uint32_t dx, std::uint32_t dy) {
    return InputEvent::Mouse(mouse::kMove | mouse::kAbsolute, dx, dy);
}
const InputEvent kLeftDown = InputEvent::Mouse(mouse::kLeftDown);
const InputEvent kLeftUp = InputEvent::Mouse(mouse::kLeftUp);
InputEvent Down(std::uint8_t key) {
    return InputEvent::Key(key, true);
}
InputEvent Up(std::uint8_t key) {
    return InputEvent::Key(key, false);
}

struct ExecuteCase {
    std::string line;
    int result;
    std::string log;
    std::string error;  // kUntouched: m_error keeps its earlier text
    std::vector<InputEvent> events;
    std::uint64_t waited = 0;
};

void PrintTo(const ExecuteCase& c, std::ostream* os) {
    *os << '"' << c.line << '"';
}

std::string ArgError(const std::string& line) {
    return "STRING's ARG ERROR : " + line;
}

// On a 1920 x 1080 screen a pixel x maps to x * 65535 / 1920.
constexpr std::uint32_t Dx(std::uint32_t x) {
    return x * 65535u / 1920u;
}
constexpr std::uint32_t Dy(std::uint32_t y) {
    return y * 65535u / 1080u;
}

class ExecuteTest : public ::testing::TestWithParam<ExecuteCase> {};

TEST_P(ExecuteTest, LogErrorResultAndEvents) {
    const ExecuteCase& c = GetParam();
    FakeDesktop desktop(1920, 1080);
    CEvent_Maker engine;
    engine.m_error = kUntouched;
    EXPECT_EQ(engine.Execute(c.line), c.result);
    EXPECT_EQ(engine.m_log, c.log);
    EXPECT_EQ(engine.m_error, c.error);
    EXPECT_EQ(desktop.events, c.events);
    EXPECT_EQ(desktop.now_ms, c.waited);
}

INSTANTIATE_TEST_SUITE_P(KeywordMatch, ExecuteTest,
                         ::testing::Values(ExecuteCase{";", 0, "", kUntouched, {}},
                                           ExecuteCase{"; any note", 0, "", kUntouched, {}},
                                           ExecuteCase{";note", -1, "", kUntouched, {}},
                                           ExecuteCase{"mov 10,20", -1, "", kUntouched, {}},
                                           ExecuteCase{" MOV 10,20", -1, "", kUntouched, {}},
                                           ExecuteCase{"MOV\t10,20", -1, "", kUntouched, {}},
                                           ExecuteCase{"MOV10,20", -1, "", kUntouched, {}},
                                           ExecuteCase{"   ", -1, "", kUntouched, {}},
                                           ExecuteCase{"\xEF\xBB\xBF"
                                                       "CLK",
                                                       -1,
                                                       "",
                                                       kUntouched,
                                                       {}},
                                           ExecuteCase{"UP", -1, "", kUntouched, {}}));

INSTANTIATE_TEST_SUITE_P(
    PointerCommands, ExecuteTest,
    ::testing::Values(
        ExecuteCase{"MOV 100,200", 0, "(100,200) へ移動\n", kUntouched, {MoveTo(Dx(100), Dy(200))}},
        ExecuteCase{
            "MOV 100, 200", 0, "(100, 200) へ移動\n", kUntouched, {MoveTo(Dx(100), Dy(200))}},
        ExecuteCase{
            "MOV 1,2 and more", 0, "(1,2 and more) へ移動\n", kUntouched, {MoveTo(Dx(1), Dy(2))}},
        ExecuteCase{"MOV 100 ,200", -1, "", ArgError("MOV 100 ,200"), {}},
        ExecuteCase{"MOV 100", -1, "", ArgError("MOV 100"), {}},
        ExecuteCase{"MOV", -1, "", ArgError("MOV"), {}},
        ExecuteCase{"MOV 99999999999,5", -1, "", ArgError("MOV 99999999999,5"), {}},
        // Off-screen coordinates are held at the screen's edges instead of wrapping.
        ExecuteCase{"MOV -5,20", 0, "(-5,20) へ移動\n", kUntouched, {MoveTo(0, Dy(20))}},
        ExecuteCase{"MOV 2147483647,-2147483648",
                    0,
                    "(2147483647,-2147483648) へ移動\n",
                    kUntouched,
                    {MoveTo(65535, 0)}},
        ExecuteCase{"CLK", 0, "クリック\n", kUntouched, {kLeftDown, kLeftUp}},
        ExecuteCase{"CLK 5,5", 0, "クリック\n", kUntouched, {kLeftDown, kLeftUp}},
        ExecuteCase{"DRAG 1,2", 0, "ドラッグ\n", kUntouched, {kLeftDown}},
        ExecuteCase{"DROP", 0, "ドロップ\n", kUntouched, {kLeftUp}},
        ExecuteCase{"RCLICK",
                    0,
                    "右クリック\n",
                    kUntouched,
                    {InputEvent::Mouse(mouse::kRightDown), InputEvent::Mouse(mouse::kRightUp)}}));

INSTANTIATE_TEST_SUITE_P(
    KeyboardCommands, ExecuteTest,
    ::testing::Values(
        ExecuteCase{"STR", 0, "文字列入力:\n", kUntouched, {}},
        ExecuteCase{"STR ", 0, "文字列入力:\n", kUntouched, {}},
        ExecuteCase{"STR  a", 2, "文字列入力: a\n", kUntouched, {Down(vk::kSpace), Up(vk::kSpace)}},
        ExecuteCase{"STR %s%n", 4, "文字列入力:%s%n\n", kUntouched, {}},
        ExecuteCase{
            "OPE RET", 1, "コマンド: RET\n", kUntouched, {Down(vk::kReturn), Up(vk::kReturn)}},
        ExecuteCase{"OPE ret", -1, "コマンド: ret\n", kUntouched, {}},
        ExecuteCase{"OPE", -1, "コマンド: \n", kUntouched, {}},
        ExecuteCase{"OPE_ON CTRL", 1, "コマンドON: CTRL\n", kUntouched, {Down(vk::kControl)}},
        ExecuteCase{"OPE_OFF CTRL", 1, "コマンドOFF: CTRL\n", kUntouched, {Up(vk::kControl)}},
        ExecuteCase{"OPE_OFF ctrl", -1, "コマンドOFF: ctrl\n", kUntouched, {}}));

INSTANTIATE_TEST_SUITE_P(
    Wait, ExecuteTest,
    ::testing::Values(ExecuteCase{"WAIT 1500", 0, "1500ms待つ\n", kUntouched, {}, 1500},
                      ExecuteCase{"WAIT 1500 ms", 0, "1500 msms待つ\n", kUntouched, {}, 1500},
                      ExecuteCase{"WAIT   +7", 0, "  +7ms待つ\n", kUntouched, {}, 7},
                      ExecuteCase{"WAIT 0", 0, "", kUntouched, {}, 0},
                      ExecuteCase{"WAIT -5", 0, "", kUntouched, {}, 0},
                      ExecuteCase{"WAIT -2147483648", 0, "", kUntouched, {}, 0},
                      ExecuteCase{
                          "WAIT 2147483647", 0, "2147483647ms待つ\n", kUntouched, {}, 2147483647},
                      ExecuteCase{"WAIT", -1, "", ArgError("WAIT"), {}},
                      ExecuteCase{"WAIT x", -1, "", ArgError("WAIT x"), {}},
                      ExecuteCase{"WAIT 2147483648", -1, "", ArgError("WAIT 2147483648"), {}},
                      ExecuteCase{"WAIT 99999999999", -1, "", ArgError("WAIT 99999999999"), {}},
                      ExecuteCase{"WAIT -2147483649", -1, "", ArgError("WAIT -2147483649"), {}}));

TEST(ExecuteTrace, WaitArgumentErrorWritesItsTraceWithoutLineEnd) {
    FakeDesktop desktop;
    std::FILE* captured = std::tmpfile();
    ASSERT_NE(captured, nullptr);
    trace::SetOutput(captured);
    CEvent_Maker engine;
    engine.Execute("WAIT x");
    trace::SetOutput(nullptr);
    std::rewind(captured);
    char text[64] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, captured);
    std::fclose(captured);
    EXPECT_EQ(std::string(text, n), "Wait 秒数取得\u3000失敗");
}

TEST(ExecuteMove, FailsWithoutAScreenAndDoesNotClick) {
    FakeDesktop desktop(0, 0);
    CEvent_Maker engine;
    EXPECT_EQ(engine.Execute("MOV 10,10"), -1);
    EXPECT_TRUE(desktop.events.empty());
}

}  // namespace
