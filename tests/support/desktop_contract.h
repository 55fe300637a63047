// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the engine relies on from a desktop, written once and run over the recording test
// double and every real backend, so that none of them can drift from the others.
//
// A world owns a desktop on a kWidth x kHeight screen and acts on it as the user would:
//   platform::Desktop& desktop();
//   void ShowPattern();                  PatternPixel(x, y) at every pixel of the screen
//   void UserHolds(std::uint8_t vk);     the user presses a key and keeps it down
//   bool KeyHeld(std::uint8_t vk);       the key is down now, whoever pressed it
//   bool LeftHeld();                     the left button is down now
//   platform::Point Pointer();           where the pointer is now
//   bool OpenWindow(const std::string& title, platform::Rect rect, Shown shown);
//                                        a new top-level window, on top of the others; false
//                                        where the desktop has no such window (Wayland lists
//                                        no window never shown, sway minimises none)

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/stop_request.h"
#include "input/send_mouse.h"
#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/screen_pattern.h"

namespace testing_support {

enum class Shown { kShown, kMinimised, kHidden };

constexpr int kContractWidth = 640;
constexpr int kContractHeight = 480;

// The double: the world is scripted; what our events left held is read from its record.
class FakeWorld {
  public:
    platform::Desktop& desktop() { return desktop_; }
    void ShowPattern();
    void UserHolds(std::uint8_t vk) { desktop_.HoldKeyDuringPolls(vk, 0); }
    bool KeyHeld(std::uint8_t vk) { return desktop_.IsKeyDown(vk); }
    bool LeftHeld() { return desktop_.IsKeyDown(platform::vk::kLButton); }
    platform::Point Pointer() { return desktop_.PointerPosition(); }
    bool OpenWindow(const std::string& title, platform::Rect rect, Shown shown) {
        desktop_.windows.insert(desktop_.windows.begin(),
                                {title, shown == Shown::kMinimised, rect, shown != Shown::kHidden});
        return true;
    }

  private:
    FakeDesktop desktop_{kContractWidth, kContractHeight};
};

template <class World>
class DesktopContract : public ::testing::Test {
  protected:
    World world_;
};

TYPED_TEST_SUITE_P(DesktopContract);

TYPED_TEST_P(DesktopContract, CopiesShowTheScreenWithBlackBeyondItsEdges) {
    platform::Desktop& desktop = this->world_.desktop();
    ASSERT_EQ(std::pair(desktop.ScreenSize().width, desktop.ScreenSize().height),
              std::pair(kContractWidth, kContractHeight));
    this->world_.ShowPattern();
    const struct {
        int left, top, width, height;
    } areas[] = {{0, 0, kContractWidth, kContractHeight},
                 {-3, -2, 8, 6},
                 {kContractWidth - 4, kContractHeight - 3, 9, 7},
                 {101, 33, 17, 5}};
    for (const auto& a : areas) {
        platform::Bitmap copy;
        ASSERT_TRUE(desktop.CopyScreen(a.left, a.top, a.width, a.height, copy));
        ASSERT_EQ(std::pair(copy.width, copy.height), std::pair(a.width, a.height));
        EXPECT_EQ(Mismatches(copy, PatternOrBlack(a.left, a.top, kContractWidth, kContractHeight)),
                  0)
            << a.left << "," << a.top << " " << a.width << "x" << a.height;
    }
    platform::Bitmap none;
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 0, 5, none));
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 5, -1, none));
}

// Every pixel a script names is where the pointer lands, across the whole screen.
TYPED_TEST_P(DesktopContract, ThePointerLandsOnTheNamedPixel) {
    using input::MouseAction;
    platform::Desktop& desktop = this->world_.desktop();
    int misses = 0;
    for (int y = 0; y < kContractHeight; y += 37) {
        for (int x = 0; x < kContractWidth; x += 13) {
            input::SendMouse(desktop, MouseAction::kMove, static_cast<std::uint32_t>(x),
                             static_cast<std::uint32_t>(y));
            const platform::Point at = this->world_.Pointer();
            if ((at.x != x || at.y != y) && ++misses <= 3) {
                ADD_FAILURE() << "asked " << x << "," << y << " landed " << at.x << "," << at.y;
            }
        }
    }
    EXPECT_EQ(misses, 0);
    input::SendMouse(desktop, MouseAction::kMove, kContractWidth - 1, kContractHeight - 1);
    const platform::Point corner = {kContractWidth - 1, kContractHeight - 1};
    EXPECT_EQ(this->world_.Pointer(), corner);
    EXPECT_EQ(desktop.PointerPosition(), corner);  // where the user sees it
}

TYPED_TEST_P(DesktopContract, TheStopKeyHeldByTheUserIsSeen) {
    platform::Desktop& desktop = this->world_.desktop();
    EXPECT_FALSE(desktop.IsKeyDown(platform::vk::kRControl));
    this->world_.UserHolds(platform::vk::kRControl);
    EXPECT_TRUE(desktop.IsKeyDown(platform::vk::kRControl));
    EXPECT_FALSE(desktop.IsKeyDown(platform::vk::kReturn));
}

TYPED_TEST_P(DesktopContract, HeldInputIsRememberedAndReleased) {
    namespace vk = platform::vk;
    platform::Desktop& desktop = this->world_.desktop();
    desktop.PressKey(vk::kControl, true);
    desktop.PressKey('A', true);
    desktop.PressKey('B', true);
    desktop.PressKey('B', false);
    desktop.PressButton(platform::Button::kLeft, true);
    EXPECT_EQ(desktop.HeldKeys(), (std::vector<std::uint8_t>{vk::kControl, 'A'}));
    EXPECT_TRUE(this->world_.KeyHeld(vk::kControl));
    EXPECT_TRUE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.KeyHeld('B'));
    EXPECT_TRUE(this->world_.LeftHeld());
    EXPECT_TRUE(desktop.IsKeyDown(platform::vk::kLButton));

    desktop.ReleaseHeldInput();
    EXPECT_TRUE(desktop.HeldKeys().empty());
    EXPECT_FALSE(this->world_.KeyHeld(vk::kControl));
    EXPECT_FALSE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.LeftHeld());
    EXPECT_FALSE(desktop.IsKeyDown(platform::vk::kLButton));
}

// A long wait ends soon after a stop request, so that a run stops before its next line.
TYPED_TEST_P(DesktopContract, AWaitEndsSoonAfterAStopRequest) {
    using namespace std::chrono_literals;
    std::thread requester([] {
        std::this_thread::sleep_for(100ms);
        stop_request::Raise();
    });
    const auto start = std::chrono::steady_clock::now();
    this->world_.desktop().Pause(60'000);
    const auto waited = std::chrono::steady_clock::now() - start;
    requester.join();
    stop_request::Clear();
    EXPECT_LT(waited, 5s);
}

// Titles arrive as UTF-8, Japanese ones too; minimised windows are listed with a rectangle,
// and count as shown; windows never shown are listed too.
TYPED_TEST_P(DesktopContract, WindowsComeTopFirstWithTitleAndRectangle) {
    ASSERT_TRUE(this->world_.OpenWindow("Contract lower", {10, 20, 110, 220}, Shown::kShown));
    ASSERT_TRUE(
        this->world_.OpenWindow("Contract 日本語のタイトル", {300, 40, 350, 90}, Shown::kShown));
    const bool minimised =
        this->world_.OpenWindow("Contract minimised", {200, 200, 260, 260}, Shown::kMinimised);
    const bool hidden =
        this->world_.OpenWindow("Contract hidden", {20, 300, 60, 340}, Shown::kHidden);
    std::vector<std::string> expected;
    if (hidden) expected.push_back("Contract hidden not shown");
    if (minimised) expected.push_back("Contract minimised minimised");
    expected.push_back("Contract 日本語のタイトル 300,40,350,90");
    expected.push_back("Contract lower 10,20,110,220");
    platform::Desktop& desktop = this->world_.desktop();
    std::vector<std::string> seen;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        const std::string title = desktop.WindowTitle(w);
        if (title.rfind("Contract", 0) != 0) return true;
        if (!desktop.IsWindowVisible(w)) return seen.push_back(title + " not shown"), true;
        const auto rect = desktop.WindowRect(w);
        if (desktop.IsWindowMinimised(w)) {
            seen.push_back(title + (rect ? " minimised" : " minimised without rectangle"));
            return true;
        }
        const platform::Rect r = rect.value_or(platform::Rect{});
        seen.push_back(title + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right) + "," + std::to_string(r.bottom));
        return true;
    });
    EXPECT_EQ(seen, expected);
    // A visitor that answers false ends the enumeration.
    int visits = 0;
    desktop.ForEachWindow([&](platform::WindowHandle) { return ++visits, false; });
    EXPECT_EQ(visits, 1);
}

REGISTER_TYPED_TEST_SUITE_P(DesktopContract, CopiesShowTheScreenWithBlackBeyondItsEdges,
                            ThePointerLandsOnTheNamedPixel, TheStopKeyHeldByTheUserIsSeen,
                            HeldInputIsRememberedAndReleased, AWaitEndsSoonAfterAStopRequest,
                            WindowsComeTopFirstWithTitleAndRectangle);

}  // namespace testing_support
