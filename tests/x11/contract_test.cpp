// What the engine relies on from a desktop, checked over the recording test double and the
// X11 backend alike, so that the double cannot drift from the real thing.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xutil.h>

#include <algorithm>

#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "tests/support/fake_desktop.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
namespace vk = platform::vk;
namespace mouse = platform::mouse;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// The test double: what the world does is scripted; what was sent is read from its record.
class FakeWorld {
  public:
    FakeWorld() : desktop_(kWidth, kHeight) {}
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
        for (const auto& e : desktop_.events) {
            if (e.kind == testing_support::InputEvent::Kind::kKey && e.vk == code) held = e.down;
        }
        return held;
    }
    bool LeftHeld() const {
        bool held = false;
        for (const auto& e : desktop_.events) {
            if (e.flags & mouse::kLeftDown) held = true;
            if (e.flags & mouse::kLeftUp) held = false;
        }
        return held;
    }
    // A new window opens on top of the others.
    void OpenWindow(const std::string& title, platform::Rect rect) {
        desktop_.windows.insert(desktop_.windows.begin(), {title, false, rect});
    }

  private:
    testing_support::FakeDesktop desktop_;
};

// The X11 backend on a private server; the world is acted on and read through the test's
// own connection.
class X11World {
  public:
    X11World() { StartSession(&s_, kWidth, kHeight); }
    bool started() const { return s_.desktop != nullptr; }
    platform::Desktop& desktop() { return *s_.desktop; }

    void ShowPattern() { x11_testing::ShowPattern(s_.display(), 0, 0, kWidth, kHeight); }
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
    bool LeftHeld() const {
        Window root = 0;
        Window child = 0;
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        XQueryPointer(s_.display(), DefaultRootWindow(s_.display()), &root, &child, &x, &y, &x, &y,
                      &mask);
        return mask & Button1Mask;
    }
    void OpenWindow(const std::string& title, platform::Rect rect) {
        Display* d = s_.display();
        const Window window =
            XCreateSimpleWindow(d, DefaultRootWindow(d), rect.left, rect.top,
                                static_cast<unsigned>(rect.right - rect.left),
                                static_cast<unsigned>(rect.bottom - rect.top), 0, 0, 0);
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
    void SetUp() override {
        if constexpr (std::is_same_v<World, X11World>) {
            ASSERT_TRUE(world_.started());
        }
    }
    World world_;
};

using Worlds = ::testing::Types<FakeWorld, X11World>;
class WorldNames {
  public:
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, FakeWorld> ? "Fake" : "X11";
    }
};
TYPED_TEST_SUITE(DesktopContract, Worlds, WorldNames);

TYPED_TEST(DesktopContract, ScreenSizeIsThePrimaryScreen) {
    const platform::Size size = this->world_.desktop().ScreenSize();
    EXPECT_EQ(size.width, kWidth);
    EXPECT_EQ(size.height, kHeight);
}

TYPED_TEST(DesktopContract, CopiesShowTheScreenWithBlackBeyondItsEdges) {
    this->world_.ShowPattern();
    platform::Desktop& desktop = this->world_.desktop();
    const struct {
        int left, top, width, height;
    } areas[] = {{0, 0, kWidth, kHeight}, {-3, -2, 8, 6}, {kWidth - 4, kHeight - 3, 9, 7}};
    for (const auto& a : areas) {
        platform::Bitmap24 copy;
        ASSERT_TRUE(desktop.CopyScreen(a.left, a.top, a.width, a.height, copy));
        ASSERT_EQ(copy.width, a.width);
        ASSERT_EQ(copy.height, a.height);
        int misses = 0;
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                const int sx = a.left + x;
                const int sy = a.top + y;
                const bool inside = sx >= 0 && sy >= 0 && sx < kWidth && sy < kHeight;
                const Rgb want = inside ? PatternPixel(sx, sy) : Rgb{};
                const std::uint8_t* p = copy.TopRow() + y * copy.pitch + x * 3;
                misses += Rgb{p[2], p[1], p[0]} != want;
            }
        }
        EXPECT_EQ(misses, 0) << a.left << "," << a.top;
    }
    platform::Bitmap24 none;
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
    EXPECT_TRUE(desktop.LeftButtonHeld());
    EXPECT_TRUE(this->world_.KeyHeld(vk::kControl));
    EXPECT_TRUE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.KeyHeld('B'));
    EXPECT_TRUE(this->world_.LeftHeld());

    desktop.ReleaseHeldInput();
    EXPECT_TRUE(desktop.HeldKeys().empty());
    EXPECT_FALSE(desktop.LeftButtonHeld());
    EXPECT_FALSE(this->world_.KeyHeld(vk::kControl));
    EXPECT_FALSE(this->world_.KeyHeld('A'));
    EXPECT_FALSE(this->world_.LeftHeld());
}

TYPED_TEST(DesktopContract, WindowsComeTopFirstWithTitleAndRectangle) {
    this->world_.OpenWindow("Contract lower", {10, 20, 110, 220});
    this->world_.OpenWindow("Contract upper", {300, 40, 350, 90});
    platform::Desktop& desktop = this->world_.desktop();
    std::vector<std::string> titles;
    std::vector<platform::Rect> rects;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        const std::string title = desktop.WindowTitle(w);
        if (title.rfind("Contract", 0) == 0) {
            titles.push_back(title);
            rects.push_back(desktop.WindowRect(w).value_or(platform::Rect{}));
            EXPECT_FALSE(desktop.IsWindowMinimised(w));
        }
        return true;
    });
    ASSERT_EQ(titles, (std::vector<std::string>{"Contract upper", "Contract lower"}));
    EXPECT_EQ(rects[0].left, 300);
    EXPECT_EQ(rects[0].top, 40);
    EXPECT_EQ(rects[0].right, 350);
    EXPECT_EQ(rects[0].bottom, 90);
    EXPECT_EQ(rects[1].left, 10);
    EXPECT_EQ(rects[1].bottom, 220);

    // A visitor that answers false ends the enumeration.
    int visits = 0;
    desktop.ForEachWindow([&](platform::WindowHandle) { return ++visits, false; });
    EXPECT_EQ(visits, 1);
}

}  // namespace
