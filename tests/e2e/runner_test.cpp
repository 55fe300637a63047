// The ravelkin program, run with --run on script files against the target window on a real
// desktop (X11 with openbox, or Windows under Wine): what it does to the window, what it
// prints, and its exit status. The test watches the screen and the keyboard through the
// platform's desktop, whose readings the desktop contract checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <opencv2/imgcodecs.hpp>

#include "examples/target_window/logo.h"
#include "platform/native_desktop.h"
#include "platform/virtual_keys.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "vision/find_window.h"
#include "vision/template_path.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace {

using testing_support::BesideTests;
using testing_support::Process;

// ravelkin-target, which prints "click N" for each click on its logo and "text ..." for each
// change of its text field.
std::unique_ptr<Process> StartTarget(const std::vector<std::string>& args) {
    auto target = Process::Start(BesideTests("ravelkin-target"), args);
    std::string line;
    return target && target->ReadLine(&line) && line.starts_with("ready") ? std::move(target)
                                                                          : nullptr;
}

struct Result {
    int status = -1;
    std::string out;
};

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        desktop_ = platform::OpenNativeDesktop(error);
        ASSERT_TRUE(desktop_) << error;
        target_ = StartTarget({"--position", "100,100"});
        ASSERT_TRUE(target_);
        // 1.bmp is the target's logo; 9.bmp, a checkerboard, is shown nowhere.
        std::filesystem::create_directories(dir_.path() / "Images");
        ASSERT_TRUE(target_logo::SaveLogo(dir_.Path("Images/1.bmp").c_str()));
        cv::Mat checker(16, 16, CV_8UC3);
        checker.forEach<cv::Vec3b>([](cv::Vec3b& p, const int* at) {
            p = (at[0] + at[1]) % 2 ? cv::Vec3b(240, 16, 240) : cv::Vec3b(16, 240, 16);
        });
        ASSERT_TRUE(cv::imwrite(dir_.Path("Images/9.bmp"), checker));
    }

    // Runs ravelkin in the script folder; during may read the first lines of output itself.
    Result Ravelkin(const std::vector<std::string>& args,
                    const std::function<void(Process&)>& during = {}) {
        auto ravelkin = Process::Start(BesideTests("ravelkin"), args, dir_.path());
        if (!ravelkin) return {};
        if (during) during(*ravelkin);
        Result result;
        result.status = ravelkin->Finish(&result.out);
        return result;
    }
    Result RunScript(const std::string& script) {
        dir_.Write("t.dat", script);
        return Ravelkin({"--run", "t.dat"});
    }
    // The next thing the target says.
    std::string Heard() {
        std::string line;
        target_->ReadLine(&line);
        return line;
    }

    std::unique_ptr<platform::Desktop> desktop_;
    std::unique_ptr<Process> target_;
    testing_support::TempDir dir_;
};

const std::string kLogo = vision::TemplatePath(1);
const std::string kEnd = "-----t.dat実行完了-----\n";

TEST_F(RunnerTest, FindsThePictureOnTheScreenAndClicksIt) {
    const Result r = RunScript("IMG_CLK_F 1,0,0,10000,10000,95\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "-----t.dat実行開始-----\n" + kLogo + "を検索し、クリック\n" + kEnd);
    EXPECT_EQ(Heard(), "click 1");
}

TEST_F(RunnerTest, FindsTheWindowByTitleAndClicksJustBelowTheMiddleOfItsTopEdge) {
    ASSERT_EQ(RunScript("WIND_CLK Target\n").status, 0);
    const auto target = vision::FindWindowByTitle(*desktop_, "Ravelkin Target");
    ASSERT_TRUE(target);
    const platform::Point at = desktop_->PointerPosition();
    EXPECT_EQ(at.x, (target->rect.left + target->rect.right) / 2);
    EXPECT_EQ(at.y, target->rect.top + 2);
}

// Lower-case letters are skipped; BS deletes, RET breaks the line.
TEST_F(RunnerTest, TypesIntoTheFocusedWindow) {
    ASSERT_EQ(RunScript("STR HELLO 42-1!./9x\nOPE BS\nOPE RET\nSTR OK\n").status, 0);
    std::string text;
    while (!text.ends_with("ok")) text = Heard();
    EXPECT_EQ(text, "text hello 42-1!./\\nok");
}

// Each failing check stops the run with its message; a script in Shift-JIS, as written on
// Windows, finds a Japanese title.
TEST_F(RunnerTest, ChecksFailWithTheirMessages) {
    auto japanese = StartTarget({"--title", "無題 - メモ帳", "--position", "300,200"});
    ASSERT_TRUE(japanese);
    const struct {
        std::string line;
        std::string error;  // empty: the check passes
    } cases[] = {
        {"CHK_IMG 9,0,0,10000,10000,95", "Can't find like " + vision::TemplatePath(9) + " "},
        {"CHK_NOIMG 1,0,0,10000,10000,95", "Find like " + kLogo + " "},
        {"CHK_WIND No Such Window", "Can't find Window No Such Window"},
        {"CHK_NOWIND Ravelkin Target", "Find Window Ravelkin Target"},
        {"CHK_WIND \x83\x81\x83\x82\x92\xA0", ""},  // メモ帳 in code page 932
    };
    for (const auto& c : cases) {
        const Result r = RunScript(c.line + "\r\n");
        EXPECT_EQ(r.status, c.error.empty() ? 0 : 2) << c.line << "\n" << r.out;
        EXPECT_TRUE(
            r.out.ends_with((c.error.empty() ? "" : "エラーが発生しました: " + c.error) + kEnd))
            << r.out;
    }
}

TEST_F(RunnerTest, ExitStatuses) {
    dir_.Write("ok.dat", "WAIT 1\n");
    dir_.Write("bad.dat", "NOPE\n");
    EXPECT_EQ(Ravelkin({"--run", "ok.dat", "ok.dat"}).status, 0);
    EXPECT_EQ(Ravelkin({"--run"}).status, 64);
    EXPECT_EQ(Ravelkin({"--frobnicate"}).status, 64);
    EXPECT_EQ(Ravelkin({"--version"}).out, "Ravelkin 1.0.0.2\n");
    const Result missing = Ravelkin({"--run", "ok.dat", "missing.dat"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.out.find("cannot load script file 'missing.dat'"), std::string::npos);
    const Result failed = Ravelkin({"--run", "bad.dat", "ok.dat"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.out.find("ok.dat"), std::string::npos);  // the job ended at bad.dat
}

#ifndef _WIN32
// Reads the trace until the run (not the loader's listing) reaches the line.
void AwaitLine(Process& ravelkin, const std::string& line) {
    std::string got;
    for (int seen = 0; seen < 2 && ravelkin.ReadLine(&got);)
        seen += got == "COMLIST: [" + line + "]";
}

// However a run ends early, what the script pressed is let go: nothing stays down.
TEST_F(RunnerTest, ARunEndedEarlyLeavesNoKeyOrButtonDown) {
    const std::string cancelled = "キャンセルされました\n" + kEnd;
    const struct {
        const char* last;  // the line during which the run ends
        const char* how;
        int status;
        std::string tail;
    } cases[] = {
        {"WAIT 1000", "stop key", 1, cancelled},
        {"WAIT 60000", "SIGINT", 1, cancelled},  // the signal wakes the long wait at once
        {"CHK_WIND No Such Window", "", 2,
         "エラーが発生しました: Can't find Window No Such Window" + kEnd},
    };
    for (const auto& c : cases) {
        dir_.Write("t.dat",
                   std::string("MOV 5,5\nOPE_ON CTRL\nOPE_ON ALT\nDRAG\n") + c.last + "\nCLK\n");
        const Result r = Ravelkin({"--run", "--trace", "t.dat"}, [&](Process& ravelkin) {
            if (*c.how) AwaitLine(ravelkin, c.last);
            if (c.how == std::string("SIGINT")) ravelkin.Interrupt();
            if (c.how == std::string("stop key")) desktop_->KeyEvent(platform::vk::kRControl, true);
        });
        desktop_->ReleaseHeldInput();
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(r.out.ends_with(c.tail)) << r.out;
        for (int vk = 1; vk < 256; ++vk) {
            EXPECT_FALSE(desktop_->IsKeyDown(static_cast<std::uint8_t>(vk))) << c.last << " " << vk;
        }
    }
    EXPECT_EQ(target_->Kill(), "");  // never clicked
}

// The X server goes away in the middle of a long run: the run fails with the reason and the
// program ends with the failure status, not a crash, a hang or Xlib's exit.
TEST_F(RunnerTest, AServerThatGoesAwayFailsTheRun) {
    const char* server = std::getenv("XVFB_PID");
    ASSERT_TRUE(server) << "run under scripts/lib/with-display";
    std::string script = "WAIT 1\n";
    for (int i = 0; i < 2000; ++i) {
        script += "CHK_WIND Ravelkin Target\nCHK_NOIMG 9,0,0,800,600,95\nIMG 1,0,0,800,600,95\n";
        script += "WIND Ravelkin Target\nWAIT 20\n";
    }
    dir_.Write("long.dat", script);
    const Result r = Ravelkin({"--run", "--trace", "long.dat"}, [&](Process& ravelkin) {
        AwaitLine(ravelkin, "WAIT 20");
        kill(std::atoi(server), SIGKILL);
    });
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.out.ends_with("エラーが発生しました: lost the connection to X display \"" +
                                std::string(std::getenv("DISPLAY")) +
                                "\"-----long.dat実行完了-----\n"));
}
#endif

}  // namespace
