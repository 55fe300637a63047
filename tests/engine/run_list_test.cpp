#include <gtest/gtest.h>

#include <memory>

#include "base/stop_request.h"
#include "engine/event_maker.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using platform::vk::kRControl;
using testing_support::FakeDesktop;

std::unique_ptr<CEvent_Maker> EngineWith(platform::Desktop& desktop,
                                         std::vector<std::string> lines) {
    auto engine = std::make_unique<CEvent_Maker>(desktop);
    engine->m_commands = std::move(lines);
    return engine;
}

TEST(RunList, StopKeyIsPolledBeforeEveryLineAndNeverAfterTheLast) {
    struct Case {
        const char* name;
        int down_from_poll;
        int down_until_poll;
        int result;
        std::uint64_t waited;  // sum of the waits that ran
    };
    // Three lines: WAIT 1, a comment, WAIT 4.
    const Case cases[] = {
        {"held from the start", 0, 1 << 30, 1, 0},
        {"pressed before the comment", 1, 1 << 30, 1, 1},
        {"pressed before the last line", 2, 1 << 30, 1, 1},
        {"released again before the next poll", 1, 1, 0, 5},
        {"held only after the last poll", 3, 1 << 30, 0, 5},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        desktop.HoldKeyDuringPolls(kRControl, c.down_from_poll, c.down_until_poll);
        auto engine = EngineWith(desktop, {"WAIT 1", "; note", "WAIT 4"});
        EXPECT_EQ(engine->RunList(), c.result) << c.name;
        EXPECT_EQ(desktop.now_ms, c.waited) << c.name;
        EXPECT_EQ(desktop.polls(kRControl), c.result == 1 ? c.down_from_poll + 1 : 3) << c.name;
    }
}

TEST(RunList, EmptyListCompletesWithoutPolling) {
    FakeDesktop desktop;
    auto engine = EngineWith(desktop, {});
    EXPECT_EQ(engine->RunList(), 0);
    EXPECT_EQ(desktop.polls(kRControl), 0);
}

TEST(RunList, FailingLineStopsTheRunAndPassesItsResultOn) {
    FakeDesktop desktop;
    auto engine = EngineWith(desktop, {"WAIT 1", "STR AB", "mov 1,1", "WAIT 8"});
    EXPECT_EQ(engine->RunList(), -1);
    EXPECT_EQ(desktop.now_ms, 1u);         // the fourth line did not run
    EXPECT_EQ(desktop.events.size(), 4u);  // the positive count of STR went on
    EXPECT_EQ(engine->m_error, "");
    EXPECT_EQ(engine->m_log, "1ms待つ\n文字列入力:AB\n");
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
    int poll_;
    int enumeration_;
};

TEST(RunList, ALostDesktopFailsTheRunWithItsReason) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int at_poll;
        int at_enumeration;
        std::string log;
    };
    const Case cases[] = {
        {"before the first line", {"WAIT 1", "WAIT 2"}, 0, -1, ""},
        {"with no line to run", {}, 0, -1, ""},
        {"before a later line", {"WAIT 1", "WAIT 2"}, 2, -1, "1ms待つ\n"},
        // On a dead connection no window is found: the last line would pass.
        {"during a check for no window",
         {"WAIT 1", "CHK_NOWIND Kept"},
         -1,
         1,
         "1ms待つ\nウィンドウ[Kept]が無いことを検索\n"},
        {"during a check that then fails",
         {"CHK_WIND Kept", "CHK_WIND Kept", "WAIT 2"},
         -1,
         2,
         "ウィンドウ[Kept]を検索\nウィンドウ[Kept]を検索\n"},
    };
    for (const auto& c : cases) {
        LosingDesktop desktop(c.at_poll, c.at_enumeration);
        auto engine = EngineWith(desktop, c.lines);
        EXPECT_EQ(engine->RunList(), -1) << c.name;
        EXPECT_EQ(engine->m_error, LosingDesktop::kWhy) << c.name;
        EXPECT_EQ(engine->m_log, c.log) << c.name;
        EXPECT_EQ(desktop.now_ms, c.log.starts_with("1ms") ? 1u : 0u) << c.name;
    }
}

TEST(RunList, StopRequestEndsTheRunLikeTheStopKey) {
    FakeDesktop desktop;
    auto engine = EngineWith(desktop, {"WAIT 1", "WAIT 2"});
    stop_request::Raise();
    const int result = engine->RunList();
    stop_request::Clear();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(desktop.now_ms, 0u);
}

}  // namespace
