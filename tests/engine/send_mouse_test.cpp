// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "engine/event_maker.h"
#include "input/send_mouse.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using input::MouseAction;
using testing_support::FakeDesktop;
using testing_support::InputEvent;

// The pixel a move lands on after the trip through 0..65535 in unsigned 32-bit arithmetic,
// truncated; codes outside 4-8 send nothing and fail.
TEST(SendMouse, LandsWhereTheTruncatedAbsolutePositionNames) {
    const struct {
        std::int32_t w, h;
        std::uint32_t x, y;
        std::int32_t px, py;
    } cases[] = {
        {1920, 1080, 960, 540, 960, 540},  // both 32767.5 before truncation
        {1920, 1080, 1920, 1080, 1919, 1079},
        {800, 600, 799, 1, 799, 1},
        {800, 600, 65537, 0, 799, 0},  // 2^32 - 1: the largest product, beyond the screen
        {800, 600, 65538, 0, 1, 0},    // the product wraps in 32 bits: 65534 / 800
        {40000, 1, 3, 0, 2, 0},        // wider than 32768: some pixels cannot be reached
        {1, 40000, 0, 39998, 0, 39998},
        {40000, 1, 32768, 0, 32768, 0},
        {100000, 1, 70000, 0, 4462, 0},  // wraps: 292482704 / 100000 = 2924
    };
    for (const auto& c : cases) {
        FakeDesktop desktop(c.w, c.h);
        EXPECT_EQ(input::SendMouse(desktop, MouseAction::kMove, c.x, c.y), 0);
        EXPECT_EQ(desktop.events, std::vector{InputEvent::Move(c.px, c.py)})
            << c.w << "x" << c.h << " at " << c.x << "," << c.y;
    }
    FakeDesktop desktop;
    for (const int code : {-1, 3, 9}) EXPECT_EQ(CEvent_Maker(desktop).SendMouse(code, 1, 1), -1);
    EXPECT_TRUE(desktop.events.empty());
    // A command reads the screen's size once, for its bounds and its move together.
    EXPECT_EQ(CEvent_Maker(desktop).Execute("MOV 10,10"), 0);
    EXPECT_LE(desktop.screen_size_reads, 1);
}

// Up to 32768 pixels every pixel a script names is the pixel the pointer lands on.
TEST(SendMouse, EveryPixelLandsOnItself) {
    for (const std::int32_t size :
         {1, 2, 3, 7, 640, 800, 1080, 1366, 1920, 2560, 4096, 7680, 32767, 32768}) {
        int misses = 0;
        for (std::int32_t p = 0; p < size; ++p) {
            const std::int32_t on =
                input::LandingPixel(static_cast<std::uint32_t>(p), 0, platform::Size{size, 1}).x;
            if (on != p && ++misses <= 3) {
                ADD_FAILURE() << "size " << size << " pixel " << p << " lands on " << on;
            }
        }
    }
}

// Held keys are let go in reverse order of pressing, each once, then the left button.
TEST(HeldInput, ReleasesWhatOurEventsLeftDownInReverseOrder) {
    FakeDesktop desktop;
    CEvent_Maker engine(desktop);
    for (const char* key : {"CTRL", "ALT", "CTRL"}) engine.SendKeys(2, key);
    engine.SendKeys(1, "RET");  // pressed and released: not held
    input::SendMouse(desktop, MouseAction::kLeftDown, 0, 0);
    desktop.events.clear();
    desktop.ReleaseHeldInput();
    desktop.ReleaseHeldInput();
    EXPECT_EQ(desktop.events, (std::vector{InputEvent::Key(platform::vk::kMenu, false),
                                           InputEvent::Key(platform::vk::kControl, false),
                                           InputEvent::Button(platform::Button::kLeft, false)}));
}

}  // namespace
