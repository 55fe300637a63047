// ravelkin.exe, run with --run on script files against the Windows target window: what it
// does to the window, what it prints, and its exit status.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/temp_dir.h"
#include "tests/win32/process.h"

namespace {

using namespace win32_testing;
using testing_support::TempDir;

struct Result {
    DWORD status = 0xFFFF;
    std::string out;
};

// The target's output after its ready line: clicks and text, a line each.
class Target {
  public:
    bool Start(const std::vector<std::string>& args) {
        process_ = Process::Start(BesideTests("ravelkin-target.exe"), args, {});
        std::string line;
        if (!process_ || !process_->ReadLine(&line, 30s) || line.rfind("ready 0x", 0) != 0) {
            return false;
        }
        window_ = reinterpret_cast<HWND>(std::stoull(line.substr(8), nullptr, 16));
        return true;
    }
    HWND window() const { return window_; }
    // Waits for a line the target prints; what it said meanwhile goes to heard.
    bool Said(const std::string& want) {
        std::string line;
        while (process_->ReadLine(&line, 10s)) {
            if (line == want) return true;
            heard += line + "\n";
        }
        return false;
    }
    std::string heard;

  private:
    std::unique_ptr<Process> process_;
    HWND window_ = nullptr;
};

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(target_.Start({"--position", "100,100"}));
        std::filesystem::create_directories(dir_.path() / "Images");
        auto saver = Process::Start(BesideTests("ravelkin-target.exe"),
                                    {"--save-logo", (dir_.path() / "Images/1.bmp").string()}, {});
        DWORD status = 1;
        ASSERT_TRUE(saver && saver->WaitExit(&status, 30s) && status == 0);
    }

    Result Ravelkin(const std::vector<std::string>& args) {
        auto child = Process::Start(BesideTests("ravelkin.exe"), args, dir_.path());
        Result result;
        if (!child) return result;
        std::string line;
        while (child->ReadLine(&line, 60s)) result.out += line + "\n";
        child->WaitExit(&result.status, 30s);
        return result;
    }

    Result RunScript(const std::string& script) {
        dir_.Write("t.dat", script);
        return Ravelkin({"--run", "t.dat"});
    }

    TempDir dir_;
    Target target_;
};

TEST_F(RunnerTest, FindsThePictureOnTheScreenAndClicksIt) {
    const Result r = RunScript("IMG_CLK_F 1,0,0,640,480,95\n");
    EXPECT_EQ(r.status, 0u) << r.out;
    EXPECT_EQ(
        r.out,
        "-----t.dat実行開始-----\nImages\\1.bmpを検索し、クリック\n-----t.dat実行完了-----\n");
    EXPECT_TRUE(target_.Said("click 1")) << target_.heard;
}

TEST_F(RunnerTest, FindsTheWindowByTitleAndClicksJustBelowTheMiddleOfItsTopEdge) {
    const Result r = RunScript("WIND_CLK Target\n");
    ASSERT_EQ(r.status, 0u) << r.out;
    RECT frame{};
    ASSERT_TRUE(GetWindowRect(target_.window(), &frame));
    POINT at{};
    GetCursorPos(&at);
    EXPECT_EQ(at.x, (frame.left + frame.right) / 2);
    EXPECT_EQ(at.y, frame.top + 2);
}

// The comma goes out as the keypad's separator key, which the keyboard layout turns into its
// own decimal sign: it is left out here.
TEST_F(RunnerTest, TypesIntoTheEditControl) {
    const Result r = RunScript("STR HELLO 42-1?\nOPE BS\nOPE RET\nSTR OK\n");
    ASSERT_EQ(r.status, 0u) << r.out;
    EXPECT_TRUE(target_.Said("text hello 42-1\\nok")) << target_.heard;
}

TEST_F(RunnerTest, ChecksPassAndFailWithTheirMessages) {
    struct Case {
        std::string line;
        DWORD status;
        std::string error;  // the error line's message, when the check fails
    };
    const Case cases[] = {
        {"CHK_IMG 1,0,0,640,480,95", 0, ""},
        {"CHK_NOIMG 1,0,0,640,480,95", 2, "Find like Images\\1.bmp "},
        {"CHK_WIND Ravelkin Target", 0, ""},
        {"CHK_WIND No Such Window", 2, "Can't find Window No Such Window"},
        {"CHK_NOWIND Ravelkin Target", 2, "Find Window Ravelkin Target"},
    };
    for (const auto& c : cases) {
        const Result r = RunScript(c.line + "\n");
        EXPECT_EQ(r.status, c.status) << c.line << "\n" << r.out;
        const std::string closing = "-----t.dat実行完了-----\n";
        const std::string tail =
            c.status == 0 ? closing : "エラーが発生しました: " + c.error + closing;
        EXPECT_TRUE(r.out.ends_with(tail)) << c.line << "\n" << r.out;
    }
}

TEST_F(RunnerTest, ExitStatuses) {
    dir_.Write("ok.dat", "WAIT 1\n");
    dir_.Write("bad.dat", "NOPE\n");
    EXPECT_EQ(Ravelkin({"--run", "ok.dat", "ok.dat"}).status, 0u);
    EXPECT_EQ(Ravelkin({"--run"}).status, 64u);
    EXPECT_EQ(Ravelkin({"--version"}).out, "Ravelkin 1.0.0.2\n");
    const Result missing = Ravelkin({"--run", "ok.dat", "missing.dat"});
    EXPECT_EQ(missing.status, 3u);
    EXPECT_NE(missing.out.find("cannot load script file 'missing.dat'"), std::string::npos);
    const Result failed = Ravelkin({"--run", "bad.dat", "ok.dat"});
    EXPECT_EQ(failed.status, 2u);
    EXPECT_EQ(failed.out.find("ok.dat"), std::string::npos);  // the job ended at bad.dat
}

// A script written on Windows in Shift-JIS finds a window with a Japanese title.
TEST_F(RunnerTest, AShiftJisScriptFindsAJapaneseTitle) {
    Target japanese;
    ASSERT_TRUE(japanese.Start({"--title", "無題 - メモ帳", "--position", "300,200"}));
    // "CHK_WIND メモ帳" in code page 932.
    const Result r = RunScript("CHK_WIND \x83\x81\x83\x82\x92\xA0\r\n");
    EXPECT_EQ(r.status, 0u) << r.out;
}

}  // namespace
