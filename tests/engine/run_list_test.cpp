// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>

#include "base/stop_request.h"
#include "engine/event_maker.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

// Loads the lines into the engine's command list, as a file of them.
void Load(CEvent_Maker& engine, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    const testing_support::TempDir dir;
    ASSERT_TRUE(engine.Load(dir.Write("lines.dat", text).string().c_str()));
    ASSERT_EQ(engine.GetCommands(), lines);
}

using platform::vk::kRControl;
using testing_support::FakeDesktop;

// The stop key is polled before every line, comments included, never after the last; a stop
// request (a signal) ends the run the same way.
TEST(RunList, StopsBeforeALineWhenTheStopKeyIsDown) {
    const std::vector<std::string> three = {"WAIT 1", "; note", "WAIT 4"};
    constexpr int kOn = 1 << 30;
    const struct {
        const char* name;
        std::vector<std::string> lines;
        int down_from_poll, down_until_poll;
        bool requested;
        int result, waited, polls;  // waited: the sum of the waits that ran
    } cases[] = {
        // First, so that the cases after it see a request cleared.
        {"a stop request", {"WAIT 1", "WAIT 2"}, 0, 0, true, 1, 0, 1},
        {"held from the start", three, 0, kOn, false, 1, 0, 1},
        {"pressed before the comment", three, 1, kOn, false, 1, 1, 2},
        {"pressed before the last line", three, 2, kOn, false, 1, 1, 3},
        {"released before the next poll", three, 1, 1, false, 0, 5, 3},
        {"held only after the last poll", three, 3, kOn, false, 0, 5, 3},
        {"no lines, no poll", {}, 0, kOn, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        desktop.HoldKeyDuringPolls(kRControl, c.down_from_poll, c.down_until_poll);
        CEvent_Maker engine(desktop);
        Load(engine, c.lines);
        if (c.requested) stop_request::Raise();
        EXPECT_EQ(engine.RunList(), c.result) << c.name;
        stop_request::Clear();
        EXPECT_EQ(desktop.now_ms, static_cast<std::uint64_t>(c.waited)) << c.name;
        EXPECT_EQ(desktop.polls(kRControl), c.polls) << c.name;
    }
}

// A desktop whose connection goes during the n-th poll of the stop key (0: before the run)
// or during the n-th window enumeration, where a window command looks.
class LosingDesktop : public FakeDesktop {
  public:
    static constexpr const char* kWhy = "lost the connection to X display \":7\"";
    LosingDesktop(int at_poll, int at_enumeration) : poll_(at_poll), enumeration_(at_enumeration) {
        if (at_poll == 0) lost = kWhy;
        windows.push_back({"Kept", false, platform::Rect{0, 0, 10, 10}});
    }
    bool IsKeyDown(std::uint8_t vk) override {
        if (--poll_ == 0) lost = kWhy;
        return !lost && FakeDesktop::IsKeyDown(vk);
    }
    void ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) override {
        if (--enumeration_ == 0) lost = kWhy;
        if (!lost) FakeDesktop::ForEachWindow(visit);
    }

  private:
    int poll_, enumeration_;
};

// A failing line ends the run with its result and error text, the lines after it unrun, and so
// does a lost desktop, with its reason.
TEST(RunList, AFailingLineOrALostDesktopEndsTheRun) {
    const std::string check = "CHK_WIND Kept", window = "ウィンドウ[Kept]を検索\n";
    const std::string no_window = "ウィンドウ[Kept]が無いことを検索\n";
    const std::vector<std::string> failing = {"WAIT 1", "STR AB", "mov 1,1", "WAIT 8"};
    const struct {
        const char* name;
        std::vector<std::string> lines;
        int at_poll, at_enumeration;
        std::string log, error = LosingDesktop::kWhy;
        std::size_t events = 0;
    } cases[] = {
        // The positive count of STR goes on; an unknown command leaves the error text empty.
        {"at an unknown command", failing, -1, -1, "1ms待つ\n文字列入力:AB\n", "", 4},
        {"before the first line", {"WAIT 1", "WAIT 2"}, 0, -1, ""},
        {"with no line to run", {}, 0, -1, ""},
        {"before a later line", {"WAIT 1", "WAIT 2"}, 2, -1, "1ms待つ\n"},
        // On a dead connection no window is found: the last line would pass.
        {"during CHK_NOWIND", {"WAIT 1", "CHK_NOWIND Kept"}, -1, 1, "1ms待つ\n" + no_window},
        {"during a check that then fails", {check, check, "WAIT 2"}, -1, 2, window + window},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LosingDesktop desktop(c.at_poll, c.at_enumeration);
        CEvent_Maker engine(desktop);
        Load(engine, c.lines);
        EXPECT_EQ(engine.RunList(), -1);
        EXPECT_EQ(engine.GetErrorText(), c.error);
        EXPECT_EQ(engine.GetLog(), c.log);
        EXPECT_EQ(desktop.now_ms, c.log.starts_with("1ms") ? 1u : 0u);
        EXPECT_EQ(desktop.events.size(), c.events);
    }
}

}  // namespace
