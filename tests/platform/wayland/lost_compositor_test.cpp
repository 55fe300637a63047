// SPDX-License-Identifier: GPL-3.0-or-later
// The compositor ended under a working desktop: every call after fails as the interface
// promises, at once, and none reports success.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/virtual_keys.h"
#include "platform/wayland/wayland_desktop.h"
#include "tests/support/wait_until.h"

namespace {

TEST(WaylandLostCompositor, EveryCallFailsSafely) {
    platform::wayland::OpenResult opened = platform::wayland::WaylandDesktop::Open();
    ASSERT_TRUE(opened.desktop) << opened.error;
    platform::wayland::WaylandDesktop& desktop = *opened.desktop;
    platform::Bitmap copy;
    ASSERT_TRUE(desktop.CopyScreen(0, 0, 16, 16, copy));
    desktop.PressKey('A', true);
    desktop.PressButton(platform::Button::kLeft, true);
    EXPECT_FALSE(desktop.Lost());

    const char* pid = std::getenv("SWAY_PID");
    ASSERT_TRUE(pid);
    const pid_t sway = std::atoi(pid);
    ASSERT_EQ(kill(sway, SIGKILL), 0);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return kill(sway, 0) != 0; }));
    // The copy that meets the loss fails too, and leaves no picture.
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 16, 16, copy));
    EXPECT_EQ(copy.width, 0);
    // Noticed by the first call that talks to the compositor.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(testing_support::WaitUntil([&] {
        desktop.Pause(20);
        return desktop.Lost().has_value();
    }));
    EXPECT_NE(desktop.Lost()->find("compositor"), std::string::npos) << *desktop.Lost();

    EXPECT_FALSE(desktop.CopyScreen(0, 0, 16, 16, copy));
    EXPECT_EQ(copy.width, 0);
    int windows = 0;
    desktop.ForEachWindow([&](platform::WindowHandle) { return ++windows, true; });
    EXPECT_EQ(windows, 0);
    EXPECT_FALSE(desktop.IsKeyDown('A'));
    EXPECT_FALSE(desktop.IsKeyDown(platform::vk::kRControl));
    EXPECT_FALSE(desktop.WindowRect(1));
    desktop.MovePointer({5, 5});
    desktop.PressKey('B', true);
    desktop.ReleaseHeldInput();
    EXPECT_TRUE(desktop.HeldKeys().empty());
    desktop.Pause(60'000);  // a wait on a gone compositor ends at once
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

// Without a compositor there is no desktop, and the reason says so.
TEST(WaylandLostCompositor, NoCompositorNoDesktop) {
    setenv("WAYLAND_DISPLAY", "ravelkin-no-such-compositor", 1);
    platform::wayland::OpenResult opened = platform::wayland::WaylandDesktop::Open();
    EXPECT_FALSE(opened.desktop);
    EXPECT_NE(opened.error.find("ravelkin-no-such-compositor"), std::string::npos) << opened.error;
}

}  // namespace
