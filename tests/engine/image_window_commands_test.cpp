// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>

#include "engine/event_maker.h"
#include "engine/run_observer.h"
#include "tests/vision/vision_support.h"
#include "windows/find_window.h"

namespace testing_support {
namespace {

using Mouse = std::vector<std::string>;

// What an earlier failing line leaves in the error text.
const std::string kEarlier = "STRING's ARG ERROR : WAIT x";

// Runs one line on a fresh engine whose error text already holds kEarlier.
int RunLine(Scene& scene, const std::string& line, CEvent_Maker& engine) {
    EXPECT_EQ(engine.Execute("WAIT x"), -1);
    scene.desktop.events.clear();
    return engine.Execute(line);
}

// "%p" stands for the template path; an empty text means the command leaves it untouched.
std::string ErrorText(std::string text, const std::string& path) {
    if (const auto at = text.find("%p"); at != std::string::npos) text.replace(at, 2, path);
    return text.empty() ? kEarlier : text;
}

TEST(ImageCommands, FoundNotFoundFailedSearchAndArgumentErrors) {
    const Mouse click = {"move 615,350", "left down", "left up"};
    const Mouse move = {"move 615,350"};
    const struct {
        const char *keyword, *log_text;
        Mouse found_mouse;
        int found_result;
        std::string found_error;
        int missed_result;
        std::string missed_error;
        bool argument_message;
    } commands[] = {
        {"IMG_CLK_F", "を検索し、クリック\n", click, 0, {}, -1, {}, false},
        {"IMG_CLK", "を検索し、クリック(マッチしない場合は無視)\n", click, 0, {}, 0, {}, false},
        {"IMG_F", "を検索し、移動\n", move, 0, {}, -1, "Can't find Image %p", true},
        {"IMG", "を検索し、移動(マッチしない場合は無視)\n", move, 0, {}, 0, {}, true},
        {"CHK_IMG", "を検索\n", {}, 0, {}, -1, "Can't find like %p ", false},
        {"CHK_NOIMG", "が無いことを検索\n", {}, -1, "Find like %p ", 0, {}, false},
    };
    // A score of 1 is not above 100; NaN never matches; a missing template is a failed search.
    const std::pair<const char*, const char*> misses[] = {
        {"1,500,300,900,700,100", "1"},
        {"1,500,300,900,700,nan", "1"},
        {"7,0,0,800,600,-1", "7"},
        {"-1,0,0,800,600,0", "-1"},
        {"1,0,0,800,600,-1", "copy fails"},
        // Areas at the ends of the range: black beyond the screen, and an empty area.
        {"1,-2147483648,-2147483648,2147483647,2147483647,50", "1"},
        {"1,2147483647,2147483647,-2147483648,-2147483648,50", "1"}};
    Scene scene;
    for (const auto& c : commands) {
        SCOPED_TRACE(c.keyword);
        const std::string kw = std::string(c.keyword) + " ";
        CEvent_Maker found(scene.desktop);
        EXPECT_EQ(RunLine(scene, kw + "1, 500, 300, 900, 700, 90", found), c.found_result);
        EXPECT_EQ(found.GetLog(), ImagePath("1") + c.log_text);
        EXPECT_EQ(found.GetErrorText(), ErrorText(c.found_error, ImagePath("1")));
        EXPECT_EQ(MouseLog(scene.desktop), c.found_mouse);

        for (const auto& [args, number] : misses) {
            SCOPED_TRACE(args);
            const bool copy_fails = std::string(number) == "copy fails";
            const std::string path = ImagePath(copy_fails ? "1" : number);
            scene.desktop.copy_fails = copy_fails;
            CEvent_Maker missed(scene.desktop);
            EXPECT_EQ(RunLine(scene, kw + args, missed), c.missed_result);
            EXPECT_EQ(missed.GetLog(), path + c.log_text);
            EXPECT_EQ(missed.GetErrorText(), ErrorText(c.missed_error, path));
            EXPECT_TRUE(scene.desktop.events.empty());
        }
        scene.desktop.copy_fails = false;

        for (const char* args : {"1,0,0,1920,1080", "1,0,0,4294967296,1080,90",
                                 "1,0,0,1920,-2147483649,90", "1 ,0,0,1920,1080,90", ""}) {
            const std::string line = kw + args;
            SCOPED_TRACE(line);
            CEvent_Maker wrong(scene.desktop);
            EXPECT_EQ(RunLine(scene, line, wrong), -1);
            EXPECT_EQ(wrong.GetLog(), "");
            EXPECT_EQ(wrong.GetErrorText(),
                      c.argument_message ? "STRING's ARG ERROR : " + line : kEarlier);
        }
    }
    // Beyond the screen the capture is black and scores 0, which only a negative threshold takes.
    EXPECT_EQ(CEvent_Maker(scene.desktop).Execute("CHK_IMG 1,3000,3000,3400,3400,-0.5"), 0);
    EXPECT_EQ(CEvent_Maker(scene.desktop).Execute("CHK_IMG 1,3000,3000,3400,3400,0"), -1);
}

// On windows with rectangles, on a desktop that tells titles but no rectangles, on windows
// beyond the screen's edges and on a desktop without a screen. Without rectangles the checks
// work by title, and the commands that need the window's place say why they cannot act, never
// moving to a guessed point; beyond the edges the target point is computed in 64 bits and the
// move then held on the screen; without a screen a move fails, and no click follows it.
// Records what an observer (a report) is told of image searches.
struct SearchRecorder : engine::RunObserver {
    std::vector<double> scores;
    std::vector<bool> verdicts;
    void LineStarted(std::size_t, const std::string&) override {}
    void LineFinished(std::size_t, int, std::string_view, std::string_view) override {}
    void ImageSearched(const platform::Rect&, const std::string&,
                       const vision::ImageSearch& search) override {
        scores.push_back(search.score);
    }
    void ImageJudged(double, bool found) override { verdicts.push_back(found); }
    void WindowSearched(std::string_view, const std::optional<windows::WindowMatch>&) override {}
};

// A report sees the best score of a search that finds nothing above its threshold, the same as
// a search without one; and a found one's score.
TEST(ImageCommands, AReportSeesTheBestScoreBelowTheThreshold) {
    Scene scene;
    WriteTemplate(scene.dir, 1, RealScreen("hd-dialogs")(cv::Rect(790, 395, 48, 48)));
    const vision::ImageSearch best =
        vision::FindImage(scene.desktop, {0, 0, 1920, 1080}, ImagePath("1"), nullptr);
    ASSERT_TRUE(best.searched() && best.score > 0.5 && best.score < 0.999);
    SearchRecorder recorder;
    engine::RunSettings settings;
    settings.observer = &recorder;
    CEvent_Maker engine(scene.desktop, settings);
    EXPECT_EQ(engine.Execute("IMG 1,0,0,1920,1080,99.9"), 0);
    EXPECT_EQ(engine.Execute("IMG 1,0,0,1920,1080,0"), 0);
    EXPECT_EQ(recorder.scores, (std::vector<double>{best.score, best.score}));
    EXPECT_EQ(recorder.verdicts, (std::vector<bool>{false, true}));
}

TEST(WindowCommands, LogMessagesResultsAndPointer) {
    FakeDesktop desktops[] = {{}, {}, {}, {}, {0, 0}, {}};
    desktops[0].windows = {{"My Notes", true, platform::Rect{10, 15, 30, 40}},
                           {"Notes", false, platform::Rect{100, 50, 501, 350}}};
    desktops[1].capabilities.window_rects = false;
    desktops[1].windows = {{"Notes", false, std::nullopt}};
    desktops[2].windows = {{"Notes", false, platform::Rect{-9, -5, -2, 20}}};
    desktops[3].windows = {
        {"Notes", false, platform::Rect{INT_MAX - 1, INT_MAX, INT_MAX, INT_MAX}}};
    desktops[4].windows = {{"Notes", false, platform::Rect{0, 0, 10, 10}}};
    // A desktop that cannot list windows fails every window command with the reason.
    desktops[5].capabilities.no_windows = "no list here";
    desktops[5].capabilities.window_rects = false;
    desktops[5].windows = {{"Notes", false, platform::Rect{0, 0, 10, 10}}};
    const std::string unplaced = "Found Window Notes, but this desktop does not tell where it is";
    const Mouse click = {"move 300,52", "left down", "left up"};
    const struct {
        int desktop;
        const char* line;
        int result;
        const char* log;
        std::string error;
        Mouse mouse;
    } cases[] = {
        {0, "WIND_CLK Notes", 0, "ウィンドウ[Notes]を検索し、クリック\n", "", click},
        {0, "WIND Notes", 1, "ウィンドウ[Notes]を検索し、移動\n", "", {"move 300,52"}},
        {0, "CHK_WIND Notes", 0, "ウィンドウ[Notes]を検索\n", "", {}},
        {0, "CHK_NOWIND Notes", -1, "ウィンドウ[Notes]が無いことを検索\n", "Find Window Notes", {}},
        {0, "WIND_CLK Mail", -1, "", "Can't find Window Mail", {}},
        {0, "WIND Mail", -1, "", "Can't find Window Mail", {}},
        {0, "CHK_WIND Mail", -1, "ウィンドウ[Mail]を検索\n", "Can't find Window Mail", {}},
        {0, "CHK_NOWIND Mail", 0, "ウィンドウ[Mail]が無いことを検索\n", "", {}},
        {0, "WIND  Notes", 1, "ウィンドウ[ Notes]を検索し、移動\n", "", {"move 20,17"}},
        {0, "WIND Notes ", -1, "", "Can't find Window Notes ", {}},
        {1, "WIND_CLK Notes", -1, "", unplaced, {}},
        {1, "WIND Notes", -1, "", unplaced, {}},
        {1, "CHK_WIND Notes", 0, "ウィンドウ[Notes]を検索\n", "", {}},
        {1, "CHK_NOWIND Notes", -1, "ウィンドウ[Notes]が無いことを検索\n", "Find Window Notes", {}},
        {1, "WIND Mail", -1, "", "Can't find Window Mail", {}},
        {2, "WIND Notes", 1, "ウィンドウ[Notes]を検索し、移動\n", "", {"move 0,0"}},
        {3, "WIND Notes", 1, "ウィンドウ[Notes]を検索し、移動\n", "", {"move 1919,1079"}},
        {4, "MOV 10,10", -1, "(10,10) へ移動\n", "", {}},
        {4, "WIND Notes", -1, "ウィンドウ[Notes]を検索し、移動\n", "", {}},
        {4, "WIND_CLK Notes", -1, "ウィンドウ[Notes]を検索し、クリック\n", "", {}},
        {5, "CHK_NOWIND Mail", -1, "", "Cannot look for Window Mail: no list here", {}},
        {5, "CHK_WIND Notes", -1, "", "Cannot look for Window Notes: no list here", {}},
        {5, "WIND_CLK Notes", -1, "", "Cannot look for Window Notes: no list here", {}},
        {5, "WIND Notes", -1, "", "Cannot look for Window Notes: no list here", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.desktop) + " " + c.line);
        FakeDesktop& desktop = desktops[c.desktop];
        desktop.events.clear();
        CEvent_Maker engine(desktop);
        EXPECT_EQ(engine.Execute(c.line), c.result);
        EXPECT_EQ(engine.GetLog(), c.log);
        EXPECT_EQ(engine.GetErrorText(), c.error);
        EXPECT_EQ(MouseLog(desktop), c.mouse);
    }
}

}  // namespace
}  // namespace testing_support
