// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "app/runner/command_line.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

// Exit statuses, usage and output are checked end to end against real windows; here, what
// only the recording desktop shows: which keys the runner lets go of (held across the files of
// a job, never beyond it), and a desktop that cannot show the stop key to the program, which a
// run names once, with how to stop it instead.
TEST(CommandLine, KeysStayHeldAcrossTheFilesOfAJobNeverBeyondIt) {
    TempDir dir;
    dir.Write("hold.dat", "OPE_ON CTRL\n");
    dir.Write("hold-fail.dat", "OPE_ON CTRL\nnope\n");
    dir.Write("a.dat", "WAIT 1\n");
    ScopedCurrentDir cwd(dir.path());
    const InputEvent down = InputEvent::Key(platform::vk::kControl, true);
    const InputEvent up = InputEvent::Key(platform::vk::kControl, false);
    const std::string unseen =
        "ravelkin: this desktop does not let the program see the right CTRL key; SIGINT or "
        "SIGTERM stops a run\n";
    const std::string chord =
        "ravelkin: this desktop does not let the program see the right CTRL key; Ctrl+Alt+End, "
        "SIGINT or SIGTERM stops a run\n";
    const std::string missing = "ravelkin: cannot load script file 'missing.dat'\n";
    const struct {
        std::vector<std::string> args;
        std::vector<InputEvent> events;
        ExitStatus status;
        std::string err = "";
        bool key_state = true;
        std::string stop_chord = "";
    } cases[] = {
        {{"--run", "hold.dat", "hold.dat"}, {down, down, up}, ExitStatus::kCompleted},
        {{"--run", "hold-fail.dat"}, {down, up}, ExitStatus::kFailed},
        {{"--run", "hold.dat", "missing.dat"}, {down, up}, ExitStatus::kNotLoaded, missing},
        {{"--run", "a.dat", "a.dat"}, {}, ExitStatus::kCompleted},
        {{"--run", "a.dat", "a.dat"}, {}, ExitStatus::kCompleted, unseen, false},
        {{"--run", "a.dat"}, {}, ExitStatus::kCompleted, chord, false, "Ctrl+Alt+End"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::vector<InputEvent> recorded;
        std::ostringstream out, err;
        const auto open = [&](std::string&) {
            struct Recording : FakeDesktop {
                std::vector<InputEvent>* into;
                std::string chord;
                ~Recording() override { *into = events; }
                std::string StopChord() override { return chord; }
            };
            auto d = std::make_unique<Recording>();
            d->chord = c.stop_chord;
            d->into = &recorded;
            d->capabilities.key_state = c.key_state;
            return std::unique_ptr<platform::Desktop>(std::move(d));
        };
        EXPECT_EQ(RunCommandLine(c.args, out, err, open, {}), c.status);
        EXPECT_EQ(recorded, c.events);
        EXPECT_EQ(err.str(), c.err);
    }
}

// The words of a command line as the runner understood them.
std::string Described(const CommandLine& line) {
    if (!line.error.empty()) return "error";
    const char* actions[] = {"run", "check", "capture", "record", "spy", "help", "version"};
    std::string text = actions[static_cast<int>(line.action)];
    for (const auto& file : line.files) text += " " + file;
    if (line.matcher) text += line.matcher == vision::MatcherKind::kFast ? " fast" : " opencv";
    if (!line.report.empty()) text += " report " + line.report;
    if (line.action == CommandLine::Action::kCapture) text += " " + std::to_string(line.capture);
    if (!line.record.empty()) text += " " + line.record;
    if (line.min_wait) text += " wait " + std::to_string(*line.min_wait);
    if (line.area) {
        text +=
            " area " + std::to_string(line.area->left) + "," + std::to_string(line.area->bottom);
    }
    return text + (line.repeat ? " repeat" : "");
}

// An option's value is the next word; a missing or malformed one, or words that do not go
// together, are bad usage, not a file.
TEST(CommandLine, Options) {
    const struct {
        std::vector<std::string> args;
        std::string understood;
    } cases[] = {
        {{"--run", "a.dat", "--matcher", "opencv"}, "run a.dat opencv"},
        {{"--matcher", "fast", "--run", "b.dat", "--repeat"}, "run b.dat fast repeat"},
        {{"--run", "--", "--matcher"}, "run --matcher"},
        {{"--run", "a.dat", "--report", "out"}, "run a.dat report out"},
        {{"--check", "a.dat", "b.dat"}, "check a.dat b.dat"},
        {{"--capture", "-3", "--area", "1,2,30,40"}, "capture -3 area 1,40"},
        {{"--record", "r.dat", "--area", "1,2,3,4", "--min-wait", "0"},
         "record r.dat wait 0 area 1,4"},
        {{"--spy"}, "spy"},
        {{"--spy", "--help"}, "help"},
        {{"--version"}, "version"},
        {{"--run", "a.dat", "--matcher"}, "error"},
        {{"--run", "--matcher", "a.dat"}, "error"},
        {{"--run", "a.dat", "--matcher", "OpenCV"}, "error"},
        {{"--run"}, "error"},
        {{"a.dat"}, "error"},
        {{"--check", "a.dat", "--repeat"}, "error"},
        {{"--run", "a.dat", "--check", "b.dat"}, "error"},
        {{"--capture", "x"}, "error"},
        {{"--capture", "3", "--area", "1,2,3"}, "error"},
        {{"--run", "a.dat", "--area", "1,2,3,4"}, "error"},
        {{"--spy", "a.dat"}, "error"},
        {{"--record"}, "error"},
        {{"--record", "r.dat", "--min-wait", "-1"}, "error"},
        {{"--capture", "3", "--min-wait", "9"}, "error"},
        {{"--record", "r.dat", "--spy"}, "error"},
        {{"--frobnicate"}, "error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Described(ParseCommandLine(c.args)), c.understood)
            << ::testing::PrintToString(c.args);
    }
}

}  // namespace
}  // namespace app
