// SPDX-License-Identifier: GPL-3.0-or-later
// The tools for writing scripts, on the recording desktop: --check's output, the template capture,
// --spy's line and the run report.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <regex>
#include <sstream>

#include "app/runner/check.h"
#include "app/runner/command_line.h"
#include "app/runner/spy.h"
#include "app/runner/template_capture.h"
#include "engine/event_maker.h"
#include "tests/vision/vision_support.h"
#include "vision/matcher/fast_matcher.h"

namespace testing_support {
namespace {

// --check's exit status and its lines, as compilers write them.
TEST(Check, StatusAndLinesOfEachFile) {
    Scene scene;
    scene.dir.Write("a.dat", "mov 10,20\n");
    std::ostringstream out, err;
    scene.dir.Write("ok.dat", "WAIT 1\nCLK 5,5\n");  // a warning only
    EXPECT_EQ(app::CheckScripts({"ok.dat"}, nullptr, out, err), app::ExitStatus::kCompleted);
    EXPECT_EQ(app::CheckScripts({"ok.dat", "a.dat"}, nullptr, out, err), app::ExitStatus::kFailed);
    EXPECT_EQ(app::CheckScripts({"missing.dat", "ok.dat"}, nullptr, out, err),
              app::ExitStatus::kNotLoaded);
    EXPECT_TRUE(out.str().starts_with("ok.dat:2: warning: CLK acts where")) << out.str();
    EXPECT_NE(out.str().find("\na.dat:1: error: unknown command 'mov'"), std::string::npos);
}

// The template is the selection clipped to the screen, whatever its numbers; the area holds it
// with a margin; the threshold lies between the best score elsewhere and the template's own,
// and a close runner-up is named. A selection without a pixel on the screen makes nothing, nor
// does a black one or one whose file exists and is kept.
TEST(TemplateCapture, SavesTheSelectionAndALineThatFindsItAgain) {
    Scene scene;  // for the working directory
    cv::Mat screen(300, 400, CV_8UC3);
    cv::RNG(3).fill(screen, cv::RNG::UNIFORM, 0, 256);
    const struct {
        platform::Rect selection;
        cv::Rect cut;
        std::string line;  // without the threshold
    } cases[] = {
        {{100, 200, 140, 230}, {100, 200, 40, 30}, "IMG_CLK 5,50,150,190,280"},
        {{-10, -20, 20, 15}, {0, 0, 20, 15}, "IMG_CLK 5,0,0,70,65"},
        {{380, 290, 500, 400}, {380, 290, 20, 10}, "IMG_CLK 5,330,240,400,300"},
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 400, 300}, "IMG_CLK 5,0,0,400,300"},
    };
    const auto never = [](const std::string&) { return false; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto made = app::MakeTemplate(screen, 5, c.selection, never);
        ASSERT_EQ(made.error, "");
        EXPECT_EQ(cv::norm(cv::imread(ImagePath("5")), screen(c.cut), cv::NORM_INF), 0);
        EXPECT_EQ(made.line.substr(0, made.line.rfind(',')), c.line);
        EXPECT_GT(made.threshold, made.runner_up * 100);
        EXPECT_LT(made.threshold, 100);
        EXPECT_EQ(made.warning, "");
        std::filesystem::remove(ImagePath("5"));
    }
    const platform::Rect nowhere[] = {{100, 200, 100, 230}, {100, 200, 140, 200},
                                      {140, 230, 100, 200}, {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
                                      {400, 0, 500, 300},   {0, 300, 400, 400},
                                      {-100, 0, 0, 300},    {0, -100, 400, 0}};
    for (const platform::Rect& selection : nowhere) {
        EXPECT_EQ(app::MakeTemplate(screen, 5, selection, never).error,
                  "the selection holds no pixel of the screen");
        EXPECT_FALSE(std::filesystem::exists(ImagePath("5")));
    }

    screen(cv::Rect(30, 40, 31, 20)).copyTo(screen(cv::Rect(330, 250, 31, 20)));
    const auto twice = app::MakeTemplate(screen, 6, {30, 40, 61, 60}, never);
    EXPECT_EQ(twice.runner_up_at, (platform::Point{345, 260}));
    EXPECT_TRUE(twice.warning.starts_with("the template is ambiguous: the place at 345,260"));

    // A rival exactly half the selection's width, or height, away is a rival: the selection's
    // first half repeated twice after it.
    for (const cv::Point step : {cv::Point(10, 0), cv::Point(0, 8)}) {
        cv::Mat tiles(120, 160, CV_8UC3);
        cv::RNG(5).fill(tiles, cv::RNG::UNIFORM, 0, 256);
        const cv::Size half(step.x ? 10 : 20, step.y ? 8 : 16);
        for (int i = 1; i <= 2; ++i) {
            tiles(cv::Rect(cv::Point(50, 40) + step * (i - 1), half))
                .copyTo(tiles(cv::Rect(cv::Point(50, 40) + step * i, half)));
        }
        const auto rival = app::MakeTemplate(tiles, 8, {50, 40, 70, 56}, never);
        EXPECT_EQ(rival.runner_up_at, (platform::Point{60 + step.x, 48 + step.y}));
        EXPECT_GT(rival.runner_up, 0.999);
        std::filesystem::remove(ImagePath("8"));
    }

    EXPECT_EQ(app::MakeTemplate(screen, 6, {0, 0, 9, 9}, never).error,
              ImagePath("6") + " exists and stays as it is");
    EXPECT_EQ(
        app::MakeTemplate(cv::Mat(100, 100, CV_8UC3, cv::Scalar::all(0)), 7, {1, 1, 9, 9}, never)
            .error,
        "the selection is black, and a picture without light matches nowhere");
    EXPECT_FALSE(std::filesystem::exists(ImagePath("7")));
}

// With a bar, a rival above it ends the search, near the cut or far from it; with none above
// it, the runner-up, its place and the threshold are the whole screen's, as without a bar. On
// a screen with copies of the cut and on screens of real programs.
TEST(TemplateCapture, ABarEndsTheSearchAtARivalAboveItOnly) {
    vision::FastMatcher matcher;
    const auto score = [&](const cv::Mat& screen, const cv::Rect& cut, double enough) {
        app::TemplateScore s;
        EXPECT_TRUE(app::ScoreTemplate(
            matcher, screen, {cut.x, cut.y, cut.x + cut.width, cut.y + cut.height}, &s, enough));
        return s;
    };
    cv::Mat screen(600, 900, CV_8UC3);
    cv::RNG(9).fill(screen, cv::RNG::UNIFORM, 0, 256);
    const cv::Rect cut(300, 250, 41, 41);
    // In the search area, beyond it but near, far, and in the corner; one pixel of each copy
    // differs, so that it scores just below the cut's own place.
    for (const cv::Point copy :
         {cv::Point(360, 250), cv::Point(300, 400), cv::Point(850, 10), cv::Point(0, 0)}) {
        SCOPED_TRACE(copy);
        cv::Mat with = screen.clone();
        with(cut).copyTo(with(cv::Rect(copy, cut.size())));
        with.at<cv::Vec3b>(copy + cv::Point(20, 20)) = {0, 0, 0};
        const app::TemplateScore barred = score(with, cut, 0.95);
        const app::TemplateScore whole = score(with, cut, HUGE_VAL);
        EXPECT_EQ(barred.runner_up_at, (platform::Point{copy.x + 20, copy.y + 20}));
        EXPECT_GT(barred.runner_up, 0.99);
        EXPECT_LT(barred.runner_up, 1);
        EXPECT_EQ(barred.runner_up, whole.runner_up);
    }
    // Real screens: cuts that stand out and cuts that do not, of a few sizes.
    const struct {
        const char* screen;
        cv::Point at;
    } clicks[] = {{"hd-dialogs", {794, 175}},    {"hd-browser", {352, 893}},
                  {"hd-browser", {405, 115}},    {"hd-terminals", {686, 353}},
                  {"hd-terminals", {1870, 829}}, {"hd-dialogs", {112, 324}}};
    int unique = 0, ambiguous = 0;
    for (const auto& click : clicks) {
        const cv::Mat real = RealScreen(click.screen);
        ASSERT_FALSE(real.empty()) << click.screen;
        for (const int half : {6, 16, 48}) {
            SCOPED_TRACE(std::string(click.screen) + " " + std::to_string(half));
            const cv::Rect at(click.at.x - half, click.at.y - half, 2 * half + 1, 2 * half + 1);
            const app::TemplateScore barred = score(real, at, 0.95);
            const app::TemplateScore whole = score(real, at, HUGE_VAL);
            EXPECT_EQ(barred.own, whole.own);
            if (whole.runner_up <= 0.95) {
                ++unique;
                EXPECT_EQ(barred.runner_up, whole.runner_up);
                EXPECT_EQ(barred.runner_up_at, whole.runner_up_at);
                EXPECT_EQ(barred.threshold, whole.threshold);
            } else {
                ++ambiguous;
                EXPECT_GT(barred.runner_up, 0.95);
                EXPECT_LE(barred.runner_up, whole.runner_up);
            }
        }
    }
    EXPECT_GE(unique, 3);
    EXPECT_GE(ambiguous, 3);

    // A screen the matcher cannot take gives no score, with a bar or without.
    const cv::Mat four(100, 100, CV_8UC4, cv::Scalar::all(90));
    app::TemplateScore none;
    for (const double enough : {0.95, HUGE_VAL}) {
        EXPECT_FALSE(app::ScoreTemplate(matcher, four, {10, 10, 30, 30}, &none, enough));
    }
}

// What is under the pointer: the top shown window that holds it, not one minimised or hidden.
TEST(Spy, NamesThePixelAndTheWindowUnderThePointer) {
    FakeDesktop desktop;
    desktop.windows = {{"Minimised", true, platform::Rect{0, 0, 500, 500}},
                       {"Hidden", false, platform::Rect{0, 0, 500, 500}, false},
                       {"Notes", false, platform::Rect{100, 50, 501, 350}},
                       {"Below", false, platform::Rect{0, 0, 900, 900}}};
    CEvent_Maker(desktop).Execute("MOV 100,50");  // the window's corner
    EXPECT_EQ(app::SpyLine(desktop),
              "pointer 100,50 #000000  window \"Notes\" 100,50,501,350  "
              "WIND_CLK clicks 300,52");
    CEvent_Maker(desktop).Execute("MOV 1000,1000");
    EXPECT_EQ(app::SpyLine(desktop), "pointer 1000,1000 #000000  no window");
    desktop.capabilities.pointer_position = false;
    EXPECT_EQ(app::SpyLine(desktop), "this desktop does not tell where the pointer is");
}

// A run with one found and one failed search: the report names both, with the pictures it
// points at beside it, and the screen when the run failed.
TEST(Report, ShowsEachLineItsSearchesAndTheFailure) {
    Scene scene;
    scene.dir.Write("r.dat",
                    "IMG_CLK 1,500,300,900,700,90\nCHK_WIND Notes\nCHK_IMG 1,0,0,50,50,99\n");
    std::ostringstream out, err;
    app::RunCommandLine({"--run", "r.dat", "--report", "out"}, out, err,
                        [&](std::string&) {
                            auto d = std::make_unique<FakeDesktop>();
                            ShowOnScreen(*d, scene.screen);
                            d->windows = {{"Mail & <Notes>", false, platform::Rect{1, 2, 3, 4}}};
                            return std::unique_ptr<platform::Desktop>(std::move(d));
                        },
                        {});
    EXPECT_EQ(err.str().find("ravelkin: cannot"), std::string::npos) << err.str();
    std::ifstream in("out/index.html");
    const std::string html((std::istreambuf_iterator<char>(in)), {});
    for (const char* part : {"IMG_CLK 1,500,300,900,700,90", "score 100.00",
                             "found &ldquo;Mail &amp; &lt;Notes&gt;&rdquo; at 1,2,3,4",
                             "failed: Can't find like", "not found"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    const std::regex picture("src=\"([^\"]+)\"");
    int pictures = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), picture);
         it != std::sregex_iterator(); ++it, ++pictures) {
        EXPECT_FALSE(cv::imread("out/" + (*it)[1].str()).empty()) << (*it)[1];
    }
    EXPECT_EQ(pictures, 3);  // two search areas and the screen
}

}  // namespace
}  // namespace testing_support
