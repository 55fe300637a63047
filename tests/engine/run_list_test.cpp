#include <gtest/gtest.h>

#include <memory>

#include "engine/event_maker.h"
#include "engine/stop_request.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using platform::vk::kRControl;
using testing_support::FakeDesktop;

std::unique_ptr<CEvent_Maker> EngineWith(std::vector<std::string> lines) {
    auto engine = std::make_unique<CEvent_Maker>();
    engine->m_commands = std::move(lines);
    return engine;
}

// WAIT 1, WAIT 2, ... so the virtual clock tells which lines ran.
std::vector<std::string> Waits(int n) {
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i) lines.push_back("WAIT " + std::to_string(i));
    return lines;
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
        auto engine = EngineWith({"WAIT 1", "; note", "WAIT 4"});
        EXPECT_EQ(engine->RunList(), c.result) << c.name;
        EXPECT_EQ(desktop.now_ms, c.waited) << c.name;
        EXPECT_EQ(desktop.polls(kRControl), c.result == 1 ? c.down_from_poll + 1 : 3) << c.name;
    }
}

TEST(RunList, EmptyListCompletesWithoutPolling) {
    FakeDesktop desktop;
    auto engine = EngineWith({});
    EXPECT_EQ(engine->RunList(), 0);
    EXPECT_EQ(desktop.polls(kRControl), 0);
}

TEST(RunList, FailingLineStopsTheRunAndPassesItsResultOn) {
    FakeDesktop desktop;
    auto engine = EngineWith({"WAIT 1", "STR AB", "mov 1,1", "WAIT 8"});
    EXPECT_EQ(engine->RunList(), -1);
    EXPECT_EQ(desktop.now_ms, 1u);         // the fourth line did not run
    EXPECT_EQ(desktop.events.size(), 4u);  // the positive count of STR went on
    EXPECT_EQ(engine->m_error, "");
    EXPECT_EQ(engine->m_log, "1ms待つ\n文字列入力:AB\n");
}

TEST(RunList, StopRequestEndsTheRunLikeTheStopKey) {
    FakeDesktop desktop;
    auto engine = EngineWith(Waits(3));
    stop_request::Raise();
    const int result = engine->RunList();
    stop_request::Clear();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(desktop.now_ms, 0u);
}

}  // namespace
