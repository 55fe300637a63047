#include <gtest/gtest.h>

#include "engine/event_maker.h"
#include "platform/absolute_position.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::InputEvent;
namespace mouse = platform::mouse;

// Unsigned 32-bit arithmetic, truncated; codes outside 4-8 send nothing and fail.
TEST(SendMouse, NormalisesToTheAbsoluteSpaceWithTruncation) {
    const struct {
        std::int32_t w, h;
        std::uint32_t x, y, dx, dy;
    } cases[] = {
        {1920, 1080, 960, 540, 32767, 32767},  // both 32767.5 before truncation
        {1920, 1080, 1920, 1080, 65535, 65535},
        {800, 600, 799, 1, 65453, 109},
        {800, 600, 65538, 0, (65538u * 65535u) / 800u, 0},  // the product wraps in 32 bits
    };
    for (const auto& c : cases) {
        FakeDesktop desktop(c.w, c.h);
        EXPECT_EQ(CEvent_Maker(desktop).SendMouse(4, c.x, c.y), 0);
        EXPECT_EQ(desktop.events,
                  std::vector{InputEvent::Mouse(mouse::kMove | mouse::kAbsolute, c.dx, c.dy)})
            << c.w << "x" << c.h << " at " << c.x << "," << c.y;
    }
    FakeDesktop desktop;
    for (const int code : {-1, 3, 9}) EXPECT_EQ(CEvent_Maker(desktop).SendMouse(code, 1, 1), -1);
    EXPECT_TRUE(desktop.events.empty());
}

// Every pixel a script names comes back from the value SendMouse sends, both as X maps it and
// after the Windows backend's conversion, which Windows maps with a floor.
TEST(AbsolutePosition, EveryPixelRoundTripsOnXAndOnWindows) {
    for (const std::int32_t size : {1, 2, 3, 7, 640, 800, 1080, 1366, 1920, 2560, 4096, 7680}) {
        FakeDesktop desktop(size, 1);
        int misses = 0;
        for (std::int32_t p = 0; p < size; ++p) {
            desktop.events.clear();
            CEvent_Maker(desktop).SendMouse(4, static_cast<std::uint32_t>(p), 0);
            const std::uint32_t d = desktop.events.at(0).dx;
            const std::int32_t on_x = platform::PixelFromAbsolute(d, size);
            const std::uint32_t sent = platform::WindowsAbsoluteFromPixel(on_x, size);
            const auto on_windows = static_cast<std::int32_t>(std::uint64_t{sent} * size / 65536);
            if ((on_x != p || on_windows != p || sent > 65535) && ++misses <= 3) {
                ADD_FAILURE() << "size " << size << " pixel " << p << ": X " << on_x << ", Windows "
                              << on_windows;
            }
        }
    }
    // Beyond the screen: the last pixel, never past it.
    EXPECT_EQ(platform::PixelFromAbsolute(65535, 1920), 1919);
    EXPECT_EQ(platform::WindowsAbsoluteFromPixel(5000, 1920) * 1920ull / 65536, 1919u);
}

// Held keys are let go in reverse order of pressing, each once, then the left button.
TEST(HeldInput, ReleasesWhatOurEventsLeftDownInReverseOrder) {
    FakeDesktop desktop;
    CEvent_Maker engine(desktop);
    for (const char* key : {"CTRL", "ALT", "CTRL"}) engine.SendKeys(2, key);
    engine.SendKeys(1, "RET");  // pressed and released: not held
    engine.SendMouse(6, 0, 0);
    desktop.events.clear();
    desktop.ReleaseHeldInput();
    desktop.ReleaseHeldInput();
    EXPECT_EQ(desktop.events, (std::vector{InputEvent::Key(platform::vk::kMenu, false),
                                           InputEvent::Key(platform::vk::kControl, false),
                                           InputEvent::Mouse(mouse::kLeftUp)}));
}

}  // namespace
