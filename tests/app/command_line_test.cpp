#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs the command line against a recording desktop handed over by the opener.
Outcome RunRavelkin(const std::vector<std::string>& args, int stopKeyFromPoll = 1 << 30) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(args, out, err, [&](std::string&) {
        auto desktop = std::make_unique<FakeDesktop>();
        desktop->HoldKeyDuringPolls(platform::vk::kRControl, stopKeyFromPoll);
        return std::unique_ptr<platform::Desktop>(std::move(desktop));
    });
    return {status, out.str(), err.str()};
}

TEST(CommandLine, UsageVersionAndHelp) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"a.dat"}, {"--run"}, {"--run", "a.dat", "--bogus"}}) {
        const Outcome o = RunRavelkin(args);
        EXPECT_EQ(o.status, kExitUsage);
        EXPECT_NE(o.err.find("Usage: ravelkin"), std::string::npos);
        EXPECT_EQ(o.out, "");
    }
    EXPECT_EQ(RunRavelkin({"--version"}).out, "Ravelkin 1.0.0.2\n");
    EXPECT_EQ(RunRavelkin({"--help"}).status, kExitCompleted);
}

TEST(CommandLine, NoDesktopIsReportedNotRun) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine({"--run", "a.dat"}, out, err, [](std::string& error) {
        error = "cannot open display ':5'";
        return std::unique_ptr<platform::Desktop>();
    });
    EXPECT_EQ(status, kExitNoDesktop);
    EXPECT_EQ(err.str(), "ravelkin: cannot open display ':5'\n");
}

TEST(CommandLine, RunsFilesInOrderAndReportsHowTheJobEnded) {
    TempDir dir;
    dir.Write("ok.dat", "CLK\n");
    dir.Write("bad.dat", "WAIT x\nCLK\n");
    ScopedCurrentDir cwd(dir.path());

    Outcome o = RunRavelkin({"--run", "ok.dat", "ok.dat"});
    EXPECT_EQ(o.status, kExitCompleted);
    EXPECT_EQ(o.out,
              "-----ok.dat実行開始-----\nクリック\n-----ok.dat実行完了-----\n"
              "-----ok.dat実行開始-----\nクリック\n-----ok.dat実行完了-----\n");

    o = RunRavelkin({"--run", "bad.dat", "ok.dat"});
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_EQ(o.out,
              "-----bad.dat実行開始-----\n"
              "エラーが発生しました: STRING's ARG ERROR : WAIT x-----bad.dat実行完了-----\n");

    o = RunRavelkin({"--run", "ok.dat", "missing.dat", "ok.dat"});
    EXPECT_EQ(o.status, kExitNotLoaded);
    EXPECT_EQ(o.err, "ravelkin: cannot load script file 'missing.dat'\n");

    o = RunRavelkin({"--run", "--repeat", "ok.dat"}, 3);
    EXPECT_EQ(o.status, kExitCancelled);
}

TEST(CommandLine, ReleasesHeldKeysOnlyWhenTheJobDidNotComplete) {
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
        {{"--run", "hold.dat"}, {down}},
        {{"--run", "hold-fail.dat"}, {down, up}},
        {{"--run", "hold.dat", "missing.dat"}, {down, up}},
    };
    for (const auto& c : cases) {
        std::vector<InputEvent> recorded;
        std::ostringstream sink;
        RunCommandLine(c.args, sink, sink, [&](std::string&) {
            struct Recording : FakeDesktop {
                std::vector<InputEvent>* into;
                ~Recording() override { *into = events; }
            };
            auto d = std::make_unique<Recording>();
            d->into = &recorded;
            return std::unique_ptr<platform::Desktop>(std::move(d));
        });
        EXPECT_EQ(recorded, c.events) << c.args[1];
    }
}

}  // namespace
