#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "app/command_line.h"
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
// only the recording desktop shows: which keys the runner lets go of.
TEST(CommandLine, KeysStayHeldAcrossTheFilesOfAJobNeverBeyondIt) {
    TempDir dir;
    dir.Write("hold.dat", "OPE_ON CTRL\n");
    dir.Write("hold-fail.dat", "OPE_ON CTRL\nnope\n");
    ScopedCurrentDir cwd(dir.path());
    const InputEvent down = InputEvent::Key(platform::vk::kControl, true);
    const InputEvent up = InputEvent::Key(platform::vk::kControl, false);

    struct Case {
        std::vector<std::string> args;
        std::vector<InputEvent> events;
    };
    const Case cases[] = {
        {{"--run", "hold.dat", "hold.dat"}, {down, down, up}},
        {{"--run", "hold-fail.dat"}, {down, up}},
        {{"--run", "hold.dat", "missing.dat"}, {down, up}},
    };
    for (const auto& c : cases) {
        std::vector<InputEvent> recorded;
        std::ostringstream sink;
        RunCommandLine(c.args, sink, sink,
                       [&](std::string&) {
                           struct Recording : FakeDesktop {
                               std::vector<InputEvent>* into;
                               ~Recording() override { *into = events; }
                           };
                           auto d = std::make_unique<Recording>();
                           d->into = &recorded;
                           return std::unique_ptr<platform::Desktop>(std::move(d));
                       },
                       {});
        EXPECT_EQ(recorded, c.events) << c.args[1];
    }
}

// --matcher takes the next word; a missing or unknown name is bad usage, not a file.
TEST(CommandLine, MatcherOption) {
    using Kind = vision::MatcherKind;
    const struct {
        std::vector<std::string> args;
        std::optional<Kind> matcher;
        std::vector<std::string> files;
        bool error;
    } cases[] = {
        {{"--run", "a.dat", "--matcher", "opencv"}, Kind::kOpenCv, {"a.dat"}, false},
        {{"--matcher", "fast", "--run", "b.dat"}, Kind::kFast, {"b.dat"}, false},
        {{"--run", "a.dat"}, std::nullopt, {"a.dat"}, false},
        {{"--run", "--", "--matcher"}, std::nullopt, {"--matcher"}, false},
        {{"--run", "a.dat", "--matcher"}, std::nullopt, {}, true},
        {{"--run", "--matcher", "a.dat"}, std::nullopt, {}, true},
        {{"--run", "a.dat", "--matcher", "OpenCV"}, std::nullopt, {}, true},
        {{"--matcher", "fast ", "--run", "a.dat"}, std::nullopt, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(!line.error.empty(), c.error) << line.error;
        if (c.error) continue;
        EXPECT_EQ(line.matcher, c.matcher);
        EXPECT_EQ(line.files, c.files);
    }
}

}  // namespace
}  // namespace app
