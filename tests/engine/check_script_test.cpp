// SPDX-License-Identifier: GPL-3.0-or-later
// --check's findings: each command's own check, walked over a script as a run reads it.
#include <gtest/gtest.h>

#include "engine/check_script.h"
#include "tests/vision/vision_support.h"

namespace testing_support {
namespace {

// One line of a script of each kind --check finds, the line it is on, and what it says, on a
// desktop that tells no window's place: the commands that need one cannot run there.
TEST(Check, FindsWhatWouldStopOrSurpriseARun) {
    Scene scene;  // template 1 is 31 x 20; the screen 1920 x 1080
    scene.desktop.capabilities.window_rects = false;
    scene.dir.Write("Images/2.bmp", "not a picture");
    scene.dir.Write("a.dat",
                    "mov 10,20\n;note\nIMG_CLK 1,0,0,800,600,100\nIMG 7,0,0,800,600,90\n"
                    "IMG 2,0,0,800,600,90\nIMG 1,10,10,10,600,0\nIMG_CLK 1,0,0,30,30,50\n"
                    "CHK_IMG 1,-100,0,0,100,90\nCHK_IMG 1,0,0,99,99\nOPE ret\nOPE_ON CTRL\n"
                    "STR Hi, 日本\nDRAG\nCLK 5,5\nWAIT x\nMOV 1\nWIND\nOPE_ON ALT\nOPE_OFF ALT\n"
                    "; fine\nIMG_CLK 1,0,0,800,600,90\nSTR @\nIMG 1,10,10,600,10,90\n"
                    "IMG 1,600,600,10,10,90\nIMG 1,1920,0,2000,100,90\nIMG 1,0,1080,100,1200,90\n"
                    "IMG 1,0,-100,100,0,90\nIMG 1,1919,1079,2000,1200,90\nIMG 1,-30,-19,1,1,90\n"
                    "IMG 1,-3000,0,100,100,90\nIMG 1,0,-2000,100,100,90\nIMG 1,-1889,0,100,99,90\n"
                    "CHK_WIND Notes\nWIND_CLK Notes\n");
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
        "17 E WIND needs a window's place, which this desktop does not tell",
        "22 W STR does not type '@' (it types A-Z, 0-9, space and - ? ! , . /)",
        "23 E the search area 10,10,600,10 is empty",
        "24 E the search area 600,600,10,10 is empty",
        "25 E the search area 1920,0,2000,100 lies outside the 1920x1080 screen",
        "26 E the search area 0,1080,100,1200 lies outside the 1920x1080 screen",
        "27 E the search area 0,-100,100,0 lies outside the 1920x1080 screen",
        "30 E the search area -3000,0,100,100 starts too far off the 1920x1080 screen to reach it",
        "31 E the search area 0,-2000,100,100 starts too far off the 1920x1080 screen to reach it",
        "34 E WIND_CLK needs a window's place, which this desktop does not tell",
    };
    const auto findings = engine::CheckScript("a.dat", &scene.desktop);
    ASSERT_TRUE(findings);
    std::vector<std::string> seen;
    for (const auto& f : *findings) {
        seen.push_back(std::to_string(f.line) + (f.error ? " E " : " W ") + f.text);
    }
    EXPECT_EQ(seen, std::vector<std::string>(std::begin(expected), std::end(expected)));

    EXPECT_FALSE(engine::CheckScript("missing.dat", nullptr));
}

// Where no window can be listed, each window command is an error that says why, once.
TEST(Check, SaysWhyNoWindowCommandCanRun) {
    Scene scene;
    scene.desktop.capabilities.window_rects = false;
    scene.desktop.capabilities.no_windows = "the extension is off";
    scene.dir.Write("w.dat", "CHK_NOWIND Mail\nWIND Notes\nMOV 1,1\n");
    const auto findings = engine::CheckScript("w.dat", &scene.desktop);
    ASSERT_TRUE(findings);
    std::vector<std::string> seen;
    for (const auto& f : *findings) {
        seen.push_back(std::to_string(f.line) + (f.error ? " E " : " W ") + f.text);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "1 E CHK_NOWIND cannot look for windows here: the extension is off",
                        "2 E WIND cannot look for windows here: the extension is off"}));
}

}  // namespace
}  // namespace testing_support
