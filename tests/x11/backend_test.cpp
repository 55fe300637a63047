// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <stdlib.h>

#include <chrono>
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

// A display that cannot be opened is named in the error (the program's runs check that too).
TEST(X11Open, FailureWithoutDisplayNamesTheVariable) {
    const std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    const auto unset = X11Desktop::Open();
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_FALSE(unset.desktop);
    EXPECT_NE(unset.error.find("$DISPLAY"), std::string::npos) << unset.error;
}

// A server that goes away costs the run, not the process: every later call answers at once
// as for an empty desktop, and the desktop says which display it lost.
TEST(X11ConnectionLoss, EveryCallFailsSafelyAndTheLossIsReported) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    platform::Desktop& desktop = *s.desktop;
    desktop.KeyEvent(vk::kControl, true);
    EXPECT_FALSE(desktop.Lost());
    const std::string name = s.server->name();
    s.server->Kill();

    // A wait notices the loss long before its end.
    const auto start = std::chrono::steady_clock::now();
    desktop.Pause(20'000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(desktop.Lost(), "lost the connection to X display \"" + name + "\"");

    platform::Bitmap copy;
    EXPECT_FALSE(desktop.CopyScreen(0, 0, 8, 8, copy));
    EXPECT_EQ(desktop.ScreenSize().width, 0);
    int windows = 0;
    desktop.ForEachWindow([&](platform::WindowHandle) { return ++windows, true; });
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(desktop.WindowTitle(1), "");
    EXPECT_FALSE(desktop.WindowRect(1));
    EXPECT_FALSE(desktop.IsKeyDown(vk::kControl));
    desktop.KeyEvent('A', true);
    desktop.MouseEvent(platform::mouse::kMove | platform::mouse::kLeftDown, 10, 10);
    desktop.ReleaseHeldInput();
    EXPECT_TRUE(desktop.HeldKeys().empty());
    // Closing the dead connection ends nothing either.
    s.desktop.reset();
}

// ravelkin-target at (100, 100), focused, with the backend active.
class X11Target : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartSession(&s_));
        std::string error;
        target_ = TargetWindow::Start(*s_.server, {"--position", "100,100"}, &error);
        ASSERT_TRUE(target_) << error;
        ASSERT_TRUE(WaitUntil([&] {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(s_.display(), &focus, &revert);
            return focus == target_->window();
        }));
        use_ = std::make_unique<ScopedInstall>(s_.desktop.get());
    }

    std::string Property(const char* name) {
        return ReadProperty(s_.display(), target_->window(), name).value_or("<none>");
    }
    // Waits, bounded, for the property to read want; returns what it read last.
    std::string Await(const char* name, const std::string& want) {
        WaitUntil([&] { return Property(name) == want; });
        return Property(name);
    }
    // Key codes that give sym without modifiers in the server's keymap now.
    int KeysGiving(KeySym sym) {
        int min = 0;
        int max = 0;
        XDisplayKeycodes(s_.display(), &min, &max);
        int per = 0;
        KeySym* map =
            XGetKeyboardMapping(s_.display(), static_cast<KeyCode>(min), max - min + 1, &per);
        int count = 0;
        for (int i = 0; map && i <= max - min; ++i) count += map[i * per] == sym;
        if (map) XFree(map);
        return count;
    }

    Session s_;
    std::unique_ptr<TargetWindow> target_;
    std::unique_ptr<ScopedInstall> use_;
    CEvent_Maker engine_;
};

TEST_F(X11Target, TypedTextArrivesAsTheTypingTableMeansIt) {
    const int separators = KeysGiving(XK_KP_Separator);
    // Letters are the bare letter keys (lower case, as on Windows); '?' is shift + keypad
    // divide, which types '/' on Windows too; lower-case letters and bytes >= 0x80 are skipped.
    // The keypad comma is on no key of the US keymap: it needs a borrowed key code.
    ASSERT_EQ(engine_.SendKeys(0, "HELLO, WORLD-1!./?9x\xC3\xA9,"), 23);
    const std::string want = "hello, world-1!.//9,";
    EXPECT_EQ(Await("_RAVELKIN_TEXT", want), want) << Property("_RAVELKIN_KEYS");

    // The borrowed code is given back during a wait, and when the backend closes.
    s_.desktop->Pause(static_cast<std::uint32_t>(platform::x11::Keymap::kGrace.count()) + 50);
    EXPECT_EQ(KeysGiving(XK_KP_Separator), separators);
    ASSERT_EQ(engine_.SendKeys(0, ","), 1);
    EXPECT_EQ(Await("_RAVELKIN_TEXT", want + ","), want + ",");
    use_.reset();
    s_.desktop.reset();
    EXPECT_EQ(KeysGiving(XK_KP_Separator), separators);
    EXPECT_EQ(target_->StopAndReadOutput(), want + ",\n");
}

TEST_F(X11Target, NamedKeysArriveAsTheirKeysyms) {
    const char* const keysyms[kKeyNameCount] = {"Up",        "Down",   "Right",   "Left",
                                                "BackSpace", "Return", "Super_L", "Control_L",
                                                "Alt_L",     "Delete", "Print",   "Escape"};
    std::string want;
    for (int k = 0; k < kKeyNameCount; ++k) {
        ASSERT_EQ(engine_.SendKeys(1, g_keywordTable[kFirstKeyName + k]), 1);
        want += (k ? " " : "") + std::string(keysyms[k]);
    }
    EXPECT_EQ(Await("_RAVELKIN_KEYS", want), want);
}

TEST_F(X11Target, ClicksActWhereThePointerIs) {
    const auto clicks = [&] { return target_->Clicks(s_.display()); };
    // The middle of the logo, which is 64 pixels wide at (16, 16) of the window.
    engine_.SendMouse(4, 148, 148);
    engine_.SendMouse(5, 0, 0);
    engine_.SendMouse(8, 0, 0);  // right button: not counted
    EXPECT_TRUE(WaitUntil([&] { return clicks() == 1; })) << clicks();
}

TEST(X11KeyState, KeysHeldAtTheKeyboardAreSeen) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    constexpr std::uint8_t kLControl = 0xA2;
    constexpr std::uint8_t kRShift = 0xA1;
    const struct {
        KeySym held;
        std::vector<std::uint8_t> down, up;
    } cases[] = {
        {XK_Control_R, {vk::kRControl, vk::kControl}, {kLControl, vk::kShift}},
        {XK_Control_L, {kLControl, vk::kControl}, {vk::kRControl}},
        {XK_Shift_R, {kRShift, vk::kShift}, {vk::kControl}},
        {XK_a, {'A'}, {'B'}},
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

TEST(X11Pause, WaitsItsTimeButEndsSoonAfterAStopRequest) {
    Session s;
    ASSERT_NO_FATAL_FAILURE(StartSession(&s));
    using Clock = std::chrono::steady_clock;
    stop_request::Clear();
    const auto start = Clock::now();
    s.desktop->Pause(120);
    EXPECT_GE(Clock::now() - start, 120ms);

    Clock::time_point raised;
    std::thread requester([&] {
        std::this_thread::sleep_for(100ms);
        raised = Clock::now();
        stop_request::Raise();
    });
    s.desktop->Pause(60'000);
    const auto returned = Clock::now();
    requester.join();
    stop_request::Clear();
    EXPECT_LT(returned - raised, 500ms);
}

}  // namespace
