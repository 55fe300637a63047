// What the engine relies on from a desktop, checked over the recording test double and the
// X11 backend alike, so that the double cannot drift from the real thing.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xutil.h>

#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "tests/support/fake_desktop.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
namespace vk = platform::vk;
namespace mouse = platform::mouse;
using testing_support::InputEvent;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// The double: the world is scripted; what our events left held is read from its record.
class FakeWorld {
  public:
    platform::Desktop& desktop() { return desktop_; }
    void ShowPattern() {
        std::vector<std::uint8_t> bgr;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const Rgb c = PatternPixel(x, y);
                bgr.insert(bgr.end(), {c.b, c.g, c.r});
            }
        }
        desktop_.SetScreen(kWidth, kHeight, std::move(bgr));
    }
    void UserHolds(std::uint8_t code) { desktop_.HoldKeyDuringPolls(code, 0); }
    bool KeyHeld(std::uint8_t code) const {
        bool held = false;
        for (const InputEvent& e : desktop_.events) {
            if (e.kind == InputEvent::Kind::kKey && e.vk == code) held = e.down;
        }
        return held;
    }
    bool LeftHeld() const {
        bool held = false;
        for (const InputEvent& e : desktop_.events) {
            if (e.flags & (mouse::kLeftDown | mouse::kLeftUp)) held = e.flags & mouse::kLeftDown;
        }
        return held;
    }
    // A new window opens on top of the others.
    void OpenWindow(const std::string& title, platform::Rect rect) {
        desktop_.windows.insert(desktop_.windows.begin(), {title, false, rect});
    }

  private:
    testing_support::FakeDesktop desktop_{kWidth, kHeight};
};

// The backend on a private server; the world is acted on and read through the test's own
// connection.
class X11World {
  public:
    X11World() { StartSession(&s_, kWidth, kHeight); }
    platform::Desktop& desktop() { return *s_.desktop; }
    void ShowPattern() { x11_testing::ShowPattern(s_.display()); }
    void UserHolds(std::uint8_t code) {
        PressKey(s_.display(), platform::x11::KeysymForVirtualKey(code), true);
    }
    bool KeyHeld(std::uint8_t code) const {
        char keys[32];
        XQueryKeymap(s_.display(), keys);
        const KeyCode key =
            XKeysymToKeycode(s_.display(), platform::x11::KeysymForVirtualKey(code));
        return key && (keys[key / 8] >> (key % 8)) & 1;
    }
    bool LeftHeld() const { return LeftButtonDown(s_.display()); }
    void OpenWindow(const std::string& title, platform::Rect rect) {
        Display* d = s_.display();
        const Window window =
            XCreateSimpleWindow(d, DefaultRootWindow(d), rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, 0, 0, 0);
        Xutf8SetWMProperties(d, window, title.c_str(), nullptr, nullptr, 0, nullptr, nullptr,
                             nullptr);
        XMapWindow(d, window);
        XSync(d, False);
    }

  private:
    Session s_;
};

template <class World>
class DesktopContract : public ::testing::Test {
  protected:
    World world_;
};

struct WorldNames {
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, FakeWorld> ? "Fake" : "X11";
    }
};
using Worlds = ::testing::Types<FakeWorld, X11World>;
TYPED_TEST_SUITE(DesktopContract, Worlds, WorldNames);

TYPED_TEST(DesktopContract, CopiesShowTheScreenWithBlackBeyondItsEdges) {
    platform::Desktop& desktop = this->world_.desktop();
    ASSERT_EQ(desktop.ScreenSize().width, kWidth);
    ASSERT_EQ(desktop.ScreenSize().height, kHeight);
    this->world_.ShowPattern();
    const struct {
        int left, top, width, height;
    } areas[] = {{0, 0, kWidth, kHeight}, {-3, -2, 8, 6}, {kWidth - 4, kHeight - 3, 9, 7}};
    for (const auto& a : areas) {
        platform::Bitmap copy;
        ASSERT_TRUE(desktop.CopyScreen(a.left, a.top, a.width, a.height, copy));
        ASSERT_EQ(copy.width, a.width);
        ASSERT_EQ(copy.height, a.height);
        EXPECT_EQ(Mismatches(copy, PatternOrBlack(a.left, a.top, kWidth, kHeight)), 0);
    }
    platform::Bitmap none;
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 0, 5, none));
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 5, -1, none));
}

TYPED_TEST(DesktopContract, TheStopKeyHeldByTheUserIsSeen) {
    platform::Desktop& desktop = this->world_.desktop();
    EXPECT_FALSE(desktop.IsKeyDown(vk::kRControl));
    this->world_.UserHolds(vk::kRControl);
    EXPECT_TRUE(desktop.IsKeyDown(vk::kRControl));
    EXPECT_FALSE(desktop.IsKeyDown(vk::kReturn));
}

TYPED_TEST(DesktopContract, HeldInputIsRememberedAndReleased) {
    platform::Desktop& desktop = this->world_.desktop();
    desktop.KeyEvent(vk::kControl, true);
    desktop.KeyEvent('A', true);
    desktop.KeyEvent('B', true);
    desktop.KeyEvent('B', false);
    desktop.MouseEvent(mouse::kLeftDown, 0, 0);
    EXPECT_EQ(desktop.HeldKeys(), (std::vector<std::uint8_t>{vk::kControl, 'A'}));
    EXPECT_TRUE(this->world_.KeyHeld(vk::kControl));
    EXPECT_TRUE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.KeyHeld('B'));
    EXPECT_TRUE(this->world_.LeftHeld());

    desktop.ReleaseHeldInput();
    EXPECT_TRUE(desktop.HeldKeys().empty());
    EXPECT_FALSE(this->world_.KeyHeld(vk::kControl));
    EXPECT_FALSE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.LeftHeld());
}

TYPED_TEST(DesktopContract, WindowsComeTopFirstWithTitleAndRectangle) {
    this->world_.OpenWindow("Contract lower", {10, 20, 110, 220});
    this->world_.OpenWindow("Contract upper", {300, 40, 350, 90});
    platform::Desktop& desktop = this->world_.desktop();
    std::vector<std::string> seen;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        const std::string title = desktop.WindowTitle(w);
        if (title.rfind("Contract", 0) != 0) return true;
        const platform::Rect r = desktop.WindowRect(w).value_or(platform::Rect{});
        seen.push_back(title + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right) + "," + std::to_string(r.bottom) +
                       (desktop.IsWindowMinimised(w) ? " minimised" : ""));
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"Contract upper 300,40,350,90",
                                              "Contract lower 10,20,110,220"}));
    // A visitor that answers false ends the enumeration.
    int visits = 0;
    desktop.ForEachWindow([&](platform::WindowHandle) { return ++visits, false; });
    EXPECT_EQ(visits, 1);
}

}  // namespace
