// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/event_maker.h"
#include "engine/keyword_table.h"
#include "engine/stop_request.h"
#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
using platform::x11::X11Desktop;
namespace vk = platform::vk;

TEST(X11Open, FailureNamesTheDisplay) {
    const auto named = X11Desktop::Open({.display_name = ":987", .capture = {}});
    EXPECT_FALSE(named.desktop);
    EXPECT_NE(named.error.find("\":987\""), std::string::npos) << named.error;

    const char* saved = std::getenv("DISPLAY");
    const std::string previous = saved ? saved : "";
    unsetenv("DISPLAY");
    const auto unset = X11Desktop::Open();
    if (saved) setenv("DISPLAY", previous.c_str(), 1);
    EXPECT_FALSE(unset.desktop);
    EXPECT_NE(unset.error.find("$DISPLAY"), std::string::npos) << unset.error;
}

// Nothing can be done over a dead connection; what matters is a clear message and an end,
// not a hang or a crash in static destructors.
TEST(X11ConnectionLoss, NamesTheDisplayAndEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Session s;
            StartSession(&s);
            const std::string name = s.server->name();
            s.server->Kill();
            s.desktop->ScreenSize();
            std::fprintf(stderr, "still running on %s\n", name.c_str());
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1), "lost the connection to X display \":[0-9]+\"");
}

class X11Pointer : public ::testing::TestWithParam<platform::Size> {};

// The engine sends x * 65535 / width truncated; the backend must land on x itself, for
// every pixel, not one off here and there.
TEST_P(X11Pointer, MovesLandOnTheExactPixelAcrossTheScreen) {
    const auto [width, height] = GetParam();
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s, width, height));
    ScopedInstall use(s.desktop.get());
    CEvent_Maker engine;

    const auto check = [&](std::uint32_t x, std::uint32_t y, int* misses) {
        ASSERT_EQ(engine.SendMouse(4, x, y), 0);
        const platform::Point at = PointerPosition(s.display());
        if (at.x != static_cast<int>(x) || at.y != static_cast<int>(y)) {
            if (++*misses <= 5)
                ADD_FAILURE() << "sent (" << x << ", " << y << "), got (" << at.x << ", " << at.y
                              << ")";
        }
    };
    int misses = 0;
    for (int x = 0; x < width; ++x) check(x, height / 2 + 1, &misses);
    for (int y = 0; y < height; ++y) check(width / 2 - 1, y, &misses);
    EXPECT_EQ(misses, 0);

    // The far edge (dx = dy = 65535) is the last pixel, not one past the screen.
    ASSERT_EQ(engine.SendMouse(4, width, height), 0);
    const platform::Point corner = PointerPosition(s.display());
    EXPECT_EQ(corner.x, width - 1);
    EXPECT_EQ(corner.y, height - 1);
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, X11Pointer,
                         ::testing::Values(platform::Size{1920, 1080}, platform::Size{1366, 768}));

class X11Target : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartSession(&s_));
        std::string error;
        target_ = TargetWindow::Start(*s_.server, {"--position", "100,100"}, &error);
        ASSERT_TRUE(target_) << error;
        // Typed keys go to the focus; the target takes it once shown.
        ASSERT_TRUE(WaitUntil([&] {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(s_.display(), &focus, &revert);
            return focus == target_->window();
        }));
    }

    std::string Property(const char* name) {
        return ReadStringProperty(s_.display(), target_->window(), name).value_or("<none>");
    }
    // Waits, bounded, for the property to read want, and returns what it read last.
    std::string AwaitProperty(const char* name, const std::string& want) {
        WaitUntil([&] { return Property(name) == want; });
        return Property(name);
    }
    long Clicks() {
        return ReadCardinalProperty(s_.display(), target_->window(), "_RAVELKIN_CLICKS")
            .value_or(-1);
    }
    // Keys that give keysym without modifiers, in the server's keymap now.
    int KeysGiving(KeySym sym) {
        int min_code = 0;
        int max_code = 0;
        XDisplayKeycodes(s_.display(), &min_code, &max_code);
        int per_code = 0;
        KeySym* map = XGetKeyboardMapping(s_.display(), static_cast<KeyCode>(min_code),
                                          max_code - min_code + 1, &per_code);
        int count = 0;
        for (int code = 0; map && code <= max_code - min_code; ++code) {
            count += map[code * per_code] == sym;
        }
        if (map) XFree(map);
        return count;
    }

    Session s_;
    std::unique_ptr<TargetWindow> target_;
};

TEST_F(X11Target, TypedTextArrivesAsTheTypingTableMeansIt) {
    ScopedInstall use(s_.desktop.get());
    const int separators_before = KeysGiving(XK_KP_Separator);
    CEvent_Maker engine;
    // Letters are the bare letter keys (lower case, as on Windows); '?' is shift + keypad
    // divide, which types '/' on Windows too; lower-case letters and bytes >= 0x80 are skipped.
    ASSERT_EQ(engine.SendKeys(0, "HELLO, WORLD-1!./?9x\xC3\xA9,"), 23);
    const std::string want = "hello, world-1!.//9,";
    EXPECT_EQ(AwaitProperty("_RAVELKIN_TEXT", want), want);

    // The key code borrowed for the keypad comma is given back during a wait, and the
    // keymap is as it was.
    s_.desktop->Pause(static_cast<std::uint32_t>(platform::x11::Keymap::kGrace.count()) + 50);
    EXPECT_EQ(KeysGiving(XK_KP_Separator), separators_before);

    ASSERT_EQ(engine.SendKeys(0, ","), 1);
    EXPECT_EQ(AwaitProperty("_RAVELKIN_TEXT", want + ","), want + ",");
    // Closing the backend gives back what it still borrows.
    s_.desktop.reset();
    XSync(s_.display(), False);
    EXPECT_EQ(KeysGiving(XK_KP_Separator), separators_before);
    EXPECT_EQ(target_->StopAndReadOutput(), want + ",\n");
}

TEST_F(X11Target, NamedKeysArriveAsTheirKeysyms) {
    ScopedInstall use(s_.desktop.get());
    CEvent_Maker engine;
    std::string want;
    const char* const keysyms[kKeyNameCount] = {"Up",        "Down",   "Right",   "Left",
                                                "BackSpace", "Return", "Super_L", "Control_L",
                                                "Alt_L",     "Delete", "Print",   "Escape"};
    for (int k = 0; k < kKeyNameCount; ++k) {
        ASSERT_EQ(engine.SendKeys(1, g_keywordTable[kFirstKeyName + k]), 1);
        want += (want.empty() ? "" : " ") + std::string(keysyms[k]);
    }
    EXPECT_EQ(AwaitProperty("_RAVELKIN_KEYS", want), want);
}

TEST_F(X11Target, ClicksActWhereThePointerIsAndHeldButtonsAreReleased) {
    ScopedInstall use(s_.desktop.get());
    CEvent_Maker engine;
    const auto button1_down = [&] {
        Window root = 0;
        Window child = 0;
        int x = 0;
        int y = 0;
        unsigned mask = 0;
        XQueryPointer(s_.display(), DefaultRootWindow(s_.display()), &root, &child, &x, &y, &x, &y,
                      &mask);
        return (mask & Button1Mask) != 0;
    };
    // The logo's middle: window at (100, 100), logo at (16, 16) in it, 64 pixels wide.
    ASSERT_EQ(engine.SendMouse(4, 148, 148), 0);
    ASSERT_EQ(engine.SendMouse(5, 0, 0), 0);
    EXPECT_TRUE(WaitUntil([&] { return Clicks() == 1; })) << Clicks();
    ASSERT_EQ(engine.SendMouse(8, 0, 0), 0);  // right click: not counted

    ASSERT_EQ(engine.SendMouse(6, 0, 0), 0);
    EXPECT_TRUE(button1_down());
    s_.desktop->ReleaseHeldInput();
    EXPECT_FALSE(button1_down());
    EXPECT_TRUE(WaitUntil([&] { return Clicks() == 2; })) << Clicks();
}

TEST(X11KeyState, KeysHeldAtTheKeyboardAreSeen) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    constexpr std::uint8_t kLControl = 0xA2;
    constexpr std::uint8_t kRShift = 0xA1;
    const struct {
        KeySym held;
        std::vector<std::uint8_t> down;
        std::vector<std::uint8_t> up;
    } cases[] = {
        {XK_Control_R, {vk::kRControl, vk::kControl}, {kLControl, vk::kShift, 'A'}},
        {XK_Control_L, {kLControl, vk::kControl}, {vk::kRControl}},
        {XK_Shift_R, {kRShift, vk::kShift}, {vk::kControl}},
        {XK_a, {'A'}, {'B', vk::kShift}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(XKeysymToString(c.held));
        PressKey(s.display(), c.held, true);
        for (const std::uint8_t code : c.down) EXPECT_TRUE(s.desktop->IsKeyDown(code)) << +code;
        for (const std::uint8_t code : c.up) EXPECT_FALSE(s.desktop->IsKeyDown(code)) << +code;
        PressKey(s.display(), c.held, false);
        for (const std::uint8_t code : c.down) EXPECT_FALSE(s.desktop->IsKeyDown(code)) << +code;
    }
}

// The real desktop, with a user who presses right CTRL while the script waits.
class UserStopsDuringWait final : public platform::Desktop {
  public:
    UserStopsDuringWait(X11Desktop& real, Display* user) : real_(real), user_(user) {}
    bool IsKeyDown(std::uint8_t code) override { return real_.IsKeyDown(code); }
    void Pause(std::uint32_t ms) override {
        PressKey(user_, XK_Control_R, true);
        real_.Pause(ms);
    }
    platform::Size ScreenSize() override { return real_.ScreenSize(); }
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    platform::Bitmap24& out) override {
        return real_.CopyScreen(left, top, width, height, out);
    }
    void ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) override {
        real_.ForEachWindow(visit);
    }
    std::string WindowTitle(platform::WindowHandle w) override { return real_.WindowTitle(w); }
    bool IsWindowMinimised(platform::WindowHandle w) override { return real_.IsWindowMinimised(w); }
    std::optional<platform::Rect> WindowRect(platform::WindowHandle w) override {
        return real_.WindowRect(w);
    }

  protected:
    void SendMouseEvent(std::uint32_t flags, std::uint32_t dx, std::uint32_t dy) override {
        real_.MouseEvent(flags, dx, dy);
    }
    void SendKeyEvent(std::uint8_t code, bool down) override { real_.KeyEvent(code, down); }

  private:
    X11Desktop& real_;
    Display* user_;
};

TEST(X11StopKey, RightControlStopsTheRunBeforeItsNextLine) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    UserStopsDuringWait desktop(*s.desktop, s.display());
    ScopedInstall use(&desktop);

    CEvent_Maker engine;
    engine.m_commands = {"MOV 10,10", "WAIT 1", "MOV 200,200"};
    EXPECT_EQ(engine.RunList(), 1);
    const auto at_10_10 = [&] {
        const platform::Point at = PointerPosition(s.display());
        return at.x == 10 && at.y == 10;
    };
    EXPECT_TRUE(at_10_10());

    // Still held: the next run stops before its first line.
    CEvent_Maker second;
    second.m_commands = {"MOV 300,300"};
    EXPECT_EQ(second.RunList(), 1);
    EXPECT_TRUE(at_10_10());
    PressKey(s.display(), XK_Control_R, false);
}

TEST(X11Pause, WaitsItsTimeButEndsSoonAfterAStopRequest) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    using Clock = std::chrono::steady_clock;
    stop_request::Clear();
    auto start = Clock::now();
    s.desktop->Pause(120);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));

    Clock::time_point raised;
    std::thread requester([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        raised = Clock::now();
        stop_request::Raise();
    });
    s.desktop->Pause(60'000);
    const auto returned = Clock::now();
    requester.join();
    stop_request::Clear();
    EXPECT_LT(returned - raised, std::chrono::milliseconds(500));
}

}  // namespace
