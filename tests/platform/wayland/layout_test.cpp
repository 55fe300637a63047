// SPDX-License-Identifier: GPL-3.0-or-later
// Two outputs side by side (1024x768, then 640x480 right of it, top-aligned), the layout box
// away from the layout's origin: copies are stitched in layout pixels, the layout box is the
// screen, the pointer lands on either; the desktop leaves no file open behind it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/wayland/wayland_desktop.h"
#include "tests/platform/wayland/sway_testing.h"
#include "tests/support/open_files.h"
#include "tests/support/screen_pattern.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using sway_testing::Child;

bool Ready(Child& target) {
    return testing_support::WaitUntil(
        [&] { return ("\n" + target.Output()).find("\nready ") != std::string::npos; });
}

// Where the layout box begins: the screen's (0,0).
constexpr int kBoxLeft = 200, kBoxTop = 100;

std::string InLayout(int x, int y) {
    return std::to_string(kBoxLeft + x) + "," + std::to_string(kBoxTop + y);
}

void CopyAndPointAcrossTheSeam() {
    const auto place = [](const char* output, int x) {
        return std::string("output ") + output + " position " + std::to_string(kBoxLeft + x) + " " +
               std::to_string(kBoxTop) + ";";
    };
    ASSERT_TRUE(Child({"swaymsg", place("HEADLESS-1", 0) + place("HEADLESS-2", 1024)}).Finish());
    platform::wayland::OpenResult opened = platform::wayland::WaylandDesktop::Open();
    ASSERT_TRUE(opened.desktop) << opened.error;
    platform::Desktop& desktop = *opened.desktop;
    const platform::Size screen = desktop.ScreenSize();
    EXPECT_EQ(std::pair(screen.width, screen.height), std::pair(1664, 768));

    // A picture of the pattern that straddles the seam between the outputs.
    testing_support::TempDir dir;
    const int width = 200, height = 100, left = 1024 - 120, top = 50;
    {
        std::ofstream ppm(dir.Path("p.ppm"), std::ios::binary);
        ppm << "P6 " << width << " " << height << " 255\n";
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const testing_support::Rgb c = testing_support::PatternPixel(x, y);
                ppm << c.r << c.g << c.b;
            }
        }
    }
    Child picture({sway_testing::ProgramDir() + "/ravelkin-wayland-target", "--picture",
                   dir.Path("p.ppm"), "--position", InLayout(left, top)});
    ASSERT_TRUE(Ready(picture)) << picture.Output();
    platform::Bitmap copy;
    ASSERT_TRUE(desktop.CopyScreen(left, top, width, height, copy));
    EXPECT_EQ(testing_support::Mismatches(copy, testing_support::PatternPixel), 0);

    // Below the shorter output lies no output at all: black, beside the grey of the first.
    ASSERT_TRUE(desktop.CopyScreen(1020, 476, 8, 8, copy));
    EXPECT_EQ(
        testing_support::Mismatches(
            copy,
            [](int x, int y) {
                return x >= 4 && y >= 4 ? testing_support::Rgb{} : testing_support::Rgb{63, 63, 63};
            }),
        0);

    Child target({sway_testing::ProgramDir() + "/ravelkin-wayland-target", "--position",
                  InLayout(1300, 200)});
    ASSERT_TRUE(Ready(target)) << target.Output();
    desktop.MovePointer({1300 + 41, 200 + 17});
    EXPECT_TRUE(testing_support::WaitUntil([&] {
        const std::string& log = target.Output();
        return log.find("pointer-enter 41 17\n") != std::string::npos ||
               log.find("motion 41 17\n") != std::string::npos;
    })) << target.Output();
}

TEST(TwoOutputs, CopiesAcrossTheSeamAndThePointerReachesTheSecond) {
    const int files = testing_support::OpenFileCount();
    CopyAndPointAcrossTheSeam();
    EXPECT_EQ(testing_support::OpenFileCount(), files);
}

}  // namespace
