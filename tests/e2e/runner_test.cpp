// The ravelkin program, run with --run on script files against real windows of a private X
// server with openbox: what it does to them, what it prints, and its exit status.
// gtest goes first: Xlib defines None as a macro.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <sys/wait.h>
#include <csignal>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
using testing_support::TempDir;

struct Result {
    int status = -1;
    std::string out;
};

class RunnerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        server_ = XServer::Start(800, 600, true, &error).release();
        ASSERT_NE(server_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(server_, nullptr);
        std::string error;
        target_ = TargetWindow::Start(*server_, {"--position", "100,100"}, &error);
        ASSERT_NE(target_, nullptr) << error;
        // The picture to find is the target's logo; 9.bmp is a checkerboard shown nowhere.
        std::filesystem::create_directories(dir_.path() / "Images");
        ASSERT_TRUE(SaveLogo((dir_.path() / "Images/1.bmp").string()));
        // 24-bit, bottom row first; 16 pixels make 48 bytes a row, which needs no padding.
        const auto le32 = [](std::uint32_t v) {
            return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                               static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
        };
        std::string checker = "BM" + le32(54 + 16 * 16 * 3) + le32(0) + le32(54) + le32(40) +
                              le32(16) + le32(16) + std::string("\x01\x00\x18\x00", 4) +
                              std::string(24, '\0');
        for (int i = 0; i < 16 * 16; ++i)
            checker += ((i / 16 + i % 16) % 2) ? "\xF0\x10\xF0" : "\x10\xF0\x10";
        dir_.Write("Images/9.bmp", checker);
    }

    // Runs ravelkin with args in the script folder; standard error joins standard output.
    // during may read the first lines of output itself; they go to out. env is put before the
    // command, as in a shell.
    Result Ravelkin(const std::string& args, const std::function<void(Child&)>& during = {},
                    const XServer* server = nullptr, const std::string& env = {}) {
        const std::string command = "cd '" + dir_.path().string() + "' && " + env + " exec " +
                                    RAVELKIN_PROGRAM + " " + args + " 2>&1";
        auto child =
            Child::Spawn({"sh", "-c", command}, (server ? server : server_)->name(), true, false);
        Result result;
        if (!child) return result;
        if (during) during(*child);
        std::string line;
        while (child->ReadLine(&line, 20s)) result.out += line + "\n";
        int status = -1;
        if (child->WaitExit(&status, 20s) && WIFEXITED(status)) result.status = WEXITSTATUS(status);
        return result;
    }

    // Reads the trace until the run (not the loader's listing) reaches the line.
    static void AwaitLine(Child& child, const std::string& line) {
        std::string got;
        for (int seen = 0; seen < 2 && child.ReadLine(&got, 10s);)
            seen += got == "COMLIST: [" + line + "]";
    }

    Result RunScript(const std::string& script) {
        dir_.Write("t.dat", script);
        return Ravelkin("--run t.dat");
    }

    long Clicks() { return target_->Clicks(server_->display()); }

    static inline XServer* server_ = nullptr;
    TempDir dir_;
    std::unique_ptr<TargetWindow> target_;
};

TEST_F(RunnerTest, FindsThePictureOnTheScreenAndClicksIt) {
    const Result r = RunScript("IMG_CLK_F 1,0,0,800,600,95\n");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "-----t.dat実行開始-----\nImages/1.bmpを検索し、クリック\n-----t.dat実行完了-----\n");
    EXPECT_TRUE(WaitUntil([&] { return Clicks() == 1; })) << Clicks();
}

TEST_F(RunnerTest, FindsTheWindowByTitleAndClicksJustBelowTheMiddleOfItsTopEdge) {
    const Result r = RunScript("WIND_CLK Target\n");
    ASSERT_EQ(r.status, 0) << r.out;
    // The frame's rectangle, as the program reads it: the root's child that holds the target.
    Window root = 0, parent = 0, frame = target_->window();
    Window* children = nullptr;
    unsigned count = 0;
    for (Window w = frame; XQueryTree(server_->display(), w, &root, &parent, &children, &count);
         w = parent) {
        if (children) XFree(children);
        frame = w;
        if (parent == root) break;
    }
    XWindowAttributes a{};
    XGetWindowAttributes(server_->display(), frame, &a);
    const int border = a.border_width;
    const platform::Point expected{a.x + (a.width + 2 * border) / 2, a.y + 2};
    const platform::Point at = PointerPosition(server_->display());
    EXPECT_EQ(at.x, expected.x);
    EXPECT_EQ(at.y, expected.y);
}

TEST_F(RunnerTest, ChecksPassAndFailWithTheirMessages) {
    struct Case {
        std::string line;
        int status;
        std::string error;  // the error line's message, when the check fails
    };
    const Case cases[] = {
        {"CHK_IMG 1,0,0,800,600,95", 0, ""},
        {"CHK_IMG 9,0,0,800,600,95", 2, "Can't find like Images/9.bmp "},
        {"CHK_NOIMG 9,0,0,800,600,95", 0, ""},
        {"CHK_NOIMG 1,0,0,800,600,95", 2, "Find like Images/1.bmp "},
        {"CHK_WIND Ravelkin Target", 0, ""},
        {"CHK_WIND No Such Window", 2, "Can't find Window No Such Window"},
        {"CHK_NOWIND No Such Window", 0, ""},
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

// A script written on Windows in Shift-JIS finds a window with a Japanese title.
TEST_F(RunnerTest, AShiftJisScriptFindsAJapaneseTitle) {
    std::string error;
    auto japanese = TargetWindow::Start(
        *server_, {"--title", "無題 - メモ帳", "--position", "300,200"}, &error);
    ASSERT_TRUE(japanese) << error;
    // "CHK_WIND メモ帳" in code page 932.
    const Result r = RunScript("CHK_WIND \x83\x81\x83\x82\x92\xA0\r\n");
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(RunnerTest, ExitStatuses) {
    dir_.Write("ok.dat", "WAIT 1\n");
    dir_.Write("bad.dat", "NOPE\n");
    EXPECT_EQ(Ravelkin("--run ok.dat ok.dat").status, 0);
    EXPECT_EQ(Ravelkin("--run").status, 64);
    EXPECT_EQ(Ravelkin("--frobnicate").status, 64);
    EXPECT_EQ(Ravelkin("--version").out, "Ravelkin 1.0.0.2\n");

    const Result missing = Ravelkin("--run ok.dat missing.dat");
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.out.find("ravelkin: cannot load script file 'missing.dat'"),
              std::string::npos);

    const Result failed = Ravelkin("--run bad.dat ok.dat");
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.out.find("ok.dat"), std::string::npos);  // the job ended at bad.dat

    const Result noDisplay = Ravelkin("--run ok.dat", {}, nullptr, "DISPLAY=:4711");
    EXPECT_EQ(noDisplay.status, 69);
    EXPECT_NE(noDisplay.out.find(":4711"), std::string::npos) << noDisplay.out;
}

// However a run ends early, what the script pressed is let go: nothing stays down.
TEST_F(RunnerTest, ARunEndedEarlyLeavesNoKeyOrButtonDown) {
    enum class End { kStopKey, kSigint, kFailure };
    const std::string held = "MOV 5,5\nOPE_ON CTRL\nOPE_ON ALT\nDRAG\n";
    std::string waits;
    for (int i = 0; i < 200; ++i) waits += "WAIT 50\n";
    const std::string cancelled = "キャンセルされました\n-----t.dat実行完了-----\n";
    const struct {
        const char* name;
        End end;
        std::string script;
        std::string await;  // the line during which the run is ended
        int status;
        std::string tail;
    } cases[] = {
        {"right CTRL", End::kStopKey, held + "WAIT 1\n" + waits + "CLK\n", "WAIT 1", 1, cancelled},
        // The signal wakes the long wait at once.
        {"SIGINT", End::kSigint, held + "WAIT 60000\nCLK\n", "WAIT 60000", 1, cancelled},
        {"a failing command", End::kFailure, held + "CHK_WIND No Such Window\nCLK\n", "", 2,
         "エラーが発生しました: Can't find Window No Such Window-----t.dat実行完了-----\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.Write("t.dat", c.script);
        const auto started = std::chrono::steady_clock::now();
        const Result r = Ravelkin("--run --trace t.dat", [&](Child& child) {
            if (c.end == End::kFailure) return;
            AwaitLine(child, c.await);
            if (c.end == End::kSigint) child.Signal(SIGINT);
            if (c.end == End::kStopKey) PressKey(server_->display(), XK_Control_R, true);
        });
        PressKey(server_->display(), XK_Control_R, false);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_TRUE(r.out.ends_with(c.tail)) << r.out;
        EXPECT_EQ(Clicks(), 0);

        char keys[32];
        XQueryKeymap(server_->display(), keys);
        for (int code = 0; code < 256; ++code) {
            EXPECT_FALSE((keys[code / 8] >> (code % 8)) & 1) << "key code " << code;
        }
        EXPECT_EQ(ButtonsDown(server_->display()), 0u);
    }
}

// The X server goes away in the middle of a long run: the run fails with the reason and the
// program ends with the failure status, not a crash, a hang or Xlib's exit.
TEST_F(RunnerTest, AServerThatGoesAwayFailsTheRun) {
    std::string error;
    auto doomed = XServer::Start(800, 600, true, &error);
    ASSERT_TRUE(doomed) << error;
    auto target = TargetWindow::Start(*doomed, {"--position", "100,100"}, &error);
    ASSERT_TRUE(target) << error;
    std::string script = "WAIT 1\n";
    for (int i = 0; i < 2000; ++i) {
        script += "CHK_WIND Ravelkin Target\nCHK_NOIMG 9,0,0,800,600,95\nIMG 1,0,0,800,600,95\n";
        script += "WIND Ravelkin Target\nWAIT 20\n";
    }
    dir_.Write("long.dat", script);
    const std::string name = doomed->name();
    const Result r = Ravelkin(
        "--run --trace long.dat",
        [&](Child& child) {
            AwaitLine(child, "WAIT 1");
            AwaitLine(child, "WAIT 20");
            doomed->Kill();
        },
        doomed.get());
    const std::string last = r.out.substr(r.out.size() - std::min<std::size_t>(r.out.size(), 2000));
    EXPECT_EQ(r.status, 2) << last;
    EXPECT_TRUE(r.out.ends_with("エラーが発生しました: lost the connection to X display \"" + name +
                                "\"-----long.dat実行完了-----\n"))
        << last;
}

}  // namespace
