// The tools for writing scripts, on the recording desktop: --check, the template capture,
// --spy's line and the run report.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "app/runner/check.h"
#include "app/runner/command_line.h"
#include "app/runner/spy.h"
#include "app/runner/template_capture.h"
#include "engine/event_maker.h"
#include "tests/vision/vision_support.h"

namespace testing_support {
namespace {

// One line of a script of each kind --check finds, the line it is on, and what it says.
TEST(Check, FindsWhatWouldStopOrSurpriseARun) {
    Scene scene;  // template 1 is 31 x 20; the screen 1920 x 1080
    scene.dir.Write("Images/2.bmp", "not a picture");
    scene.dir.Write("a.dat",
                    "mov 10,20\n;note\nIMG_CLK 1,0,0,800,600,100\nIMG 7,0,0,800,600,90\n"
                    "IMG 2,0,0,800,600,90\nIMG 1,10,10,10,600,0\nIMG_CLK 1,0,0,30,30,50\n"
                    "CHK_IMG 1,-100,0,0,100,90\nCHK_IMG 1,0,0,99,99\nOPE ret\nOPE_ON CTRL\n"
                    "STR Hi, 日本\nDRAG\nCLK 5,5\nWAIT x\nMOV 1\nWIND\nOPE_ON ALT\nOPE_OFF ALT\n"
                    "; fine\nIMG_CLK 1,0,0,800,600,90\nSTR @\n");
    const std::string expected[] = {
        "1 E unknown command 'mov': the run stops here (commands are upper case: MOV)",
        "2 E unknown command ';note': the run stops here (a comment is ';' and a space)",
        "3 E no score exceeds the threshold 100: scores go up to 100",
        "4 E " + ImagePath("7") + " does not exist",
        "5 E " + ImagePath("2") + " is not a picture",
        "6 E the search area 10,10,10,600 is empty",
        "7 E " + ImagePath("1") + " is larger than the search area (30x30)",
        "8 E the search area -100,0,0,100 lies outside the 1920x1080 screen",
        "9 E CHK_IMG needs image,left,top,right,bottom,threshold, numbers of 32 bits",
        "10 E OPE: no key name in 'ret'; the names are UP DOWN RIGHT LEFT BS RET WIN CTRL ALT "
        "DEL PRT_SCR ESC",
        "11 W CTRL is still down at the end of the file; it is released when the job ends",
        "12 W STR does not type 'i' '日' '本' (letters are typed as written in capitals, and "
        "arrive in lower case)",
        "13 W the left button is still down at the end of the file; it is released when the job "
        "ends",
        "14 W CLK acts where the pointer is and ignores '5,5'",
        "15 E WAIT needs a number of milliseconds",
        "16 E MOV needs x,y in pixels",
        "17 W WIND without a title matches every window",
        "22 W STR does not type '@' (it types A-Z, 0-9, space and - ? ! , . /)",
    };
    const auto findings = app::CheckScript("a.dat", &scene.desktop);
    ASSERT_TRUE(findings);
    std::vector<std::string> seen;
    for (const auto& f : *findings) {
        seen.push_back(std::to_string(f.line) + (f.error ? " E " : " W ") + f.text);
    }
    EXPECT_EQ(seen, std::vector<std::string>(std::begin(expected), std::end(expected)));

    std::ostringstream out, err;
    scene.dir.Write("ok.dat", "WAIT 1\nCLK 5,5\n");  // a warning only
    EXPECT_EQ(app::CheckScripts({"ok.dat"}, nullptr, out, err), app::ExitStatus::kCompleted);
    EXPECT_EQ(app::CheckScripts({"ok.dat", "a.dat"}, nullptr, out, err), app::ExitStatus::kFailed);
    EXPECT_EQ(app::CheckScripts({"missing.dat", "ok.dat"}, nullptr, out, err),
              app::ExitStatus::kNotLoaded);
    EXPECT_TRUE(out.str().starts_with("ok.dat:2: warning: CLK acts where")) << out.str();
    EXPECT_NE(out.str().find("\na.dat:1: error: unknown command 'mov'"), std::string::npos);
}

// The template is the selection; the area holds it with a margin; the threshold lies between
// the best score elsewhere and the template's own, and a close runner-up is named.
TEST(TemplateCapture, SavesTheSelectionAndALineThatFindsItAgain) {
    Scene scene;  // for the working directory
    cv::Mat screen(1080, 1920, CV_8UC3);
    cv::RNG(3).fill(screen, cv::RNG::UNIFORM, 0, 256);
    scene.screen = screen.clone();
    screen(cv::Rect(600, 340, 31, 20)).copyTo(screen(cv::Rect(1200, 700, 31, 20)));
    const auto never = [](const std::string&) { return false; };
    const auto made = app::MakeTemplate(scene.screen, 5, {100, 200, 140, 230}, never);
    ASSERT_EQ(made.error, "");
    EXPECT_EQ(cv::norm(cv::imread(ImagePath("5")), scene.screen(cv::Rect(100, 200, 40, 30)),
                       cv::NORM_INF),
              0);
    EXPECT_EQ(made.line.substr(0, made.line.rfind(',')), "IMG_CLK 5,50,150,190,280");
    EXPECT_GT(made.threshold, made.runner_up * 100);
    EXPECT_LT(made.threshold, 100);
    EXPECT_EQ(made.warning, "");

    const auto twice = app::MakeTemplate(screen, 6, {600, 340, 631, 360}, never);
    EXPECT_EQ(twice.runner_up_at.x, 1215);
    EXPECT_EQ(twice.runner_up_at.y, 710);
    EXPECT_TRUE(twice.warning.starts_with("the template is ambiguous: the place at 1215,710"));

    EXPECT_EQ(app::MakeTemplate(screen, 5, {0, 0, 9, 9}, never).error,
              ImagePath("5") + " exists and stays as it is");
    EXPECT_EQ(
        app::MakeTemplate(cv::Mat(100, 100, CV_8UC3, cv::Scalar::all(0)), 7, {1, 1, 9, 9}, never)
            .error,
        "the selection is black, and a picture without light matches nowhere");
    EXPECT_FALSE(std::filesystem::exists(ImagePath("7")));
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
