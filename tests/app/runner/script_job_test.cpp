// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/runner/script_job.h"
#include "app/runner/script_run.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::FakeDesktop;

struct JobCase {
    const char* name;
    std::vector<std::string> files;
    bool repeat;
    std::map<std::string, RunOutcome> outcomes;  // files not named complete
    int stop_key_from_poll;                      // between passes
    JobEnd end;
    std::vector<std::string> ran;
};

TEST(RunJob, PassesRepetitionsAndStops) {
    using enum RunOutcome;
    const std::vector<std::string> abc = {"a", "b", "c"}, ab = {"a", "b"};
    const JobCase cases[] = {
        {"all complete once", abc, false, {}, 0, JobEnd::kSucceeded, abc},
        {"second fails", abc, true, {{"b", kFailed}}, 99, JobEnd::kFailed, {"a", "b"}},
        {"second cancelled", abc, false, {{"b", kCancelled}}, 99, JobEnd::kCancelled, {"a", "b"}},
        {"first not loaded", abc, true, {{"a", kNotLoaded}}, 99, JobEnd::kNotLoaded, {"a"}},
        {"until the stop key", ab, true, {}, 2, JobEnd::kStopped, {"a", "b", "a", "b", "a", "b"}},
        {"empty list", {}, false, {}, 0, JobEnd::kSucceeded, {}},
        {"empty list repeated ends after one pass", {}, true, {}, 99, JobEnd::kSucceeded, {}},
        {"one file repeated until it fails", {"a"}, true, {}, 99, JobEnd::kFailed, {"a", "a", "a"}},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        desktop.HoldKeyDuringPolls(platform::vk::kRControl, c.stop_key_from_poll);
        std::vector<std::string> ran;
        const JobEnd end = RunJob(c.files, c.repeat, desktop, [&](const std::string& file) {
            ran.push_back(file);
            // The single-file case fails on its third run.
            if (c.files.size() == 1 && ran.size() == 3) return RunOutcome::kFailed;
            const auto it = c.outcomes.find(file);
            return it == c.outcomes.end() ? RunOutcome::kCompleted : it->second;
        });
        EXPECT_EQ(end, c.end) << c.name;
        EXPECT_EQ(ran, c.ran) << c.name;
    }
}

// Nothing our events pressed stays down after a run that fails or is cancelled.
TEST(RunScriptFile, LetsGoOfWhatTheRunHeld) {
    testing_support::TempDir dir;
    const struct {
        const char* script;
        int stop_key_from_poll;
        RunOutcome outcome;
    } cases[] = {
        {"OPE_ON CTRL\nDRAG\nOPE_ON ALT\nCHK_WIND no such window\n", 99, RunOutcome::kFailed},
        {"OPE_ON CTRL\nDRAG\nOPE_ON ALT\nWAIT 10\nWAIT 10\nWAIT 10\n", 2, RunOutcome::kCancelled},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        desktop.HoldKeyDuringPolls(platform::vk::kRControl, c.stop_key_from_poll);
        const ScriptRun run = RunScriptFile(dir.Write("held.dat", c.script).string(), desktop, {});
        EXPECT_EQ(run.outcome, c.outcome) << c.script;
        EXPECT_TRUE(desktop.HeldKeys().empty()) << c.script;
        EXPECT_FALSE(desktop.LeftButtonHeld()) << c.script;
    }
}

}  // namespace
}  // namespace app
