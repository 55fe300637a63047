// SPDX-License-Identifier: GPL-3.0-or-later
// What only the X11 backend does: keys and buttons as X names them, key codes borrowed for
// keysyms the keymap lacks, and screen copies held while the screen changes.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <numeric>
#include <sstream>

#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "tests/platform/x11/x_testing.h"
#include "tests/support/open_files.h"
#include "tests/support/screen_pattern.h"
#include "tests/support/wait_until.h"

namespace {

using namespace x11_testing;
using namespace std::chrono_literals;
namespace vk = platform::vk;

// The generic virtual keys stand for either side, as GetAsyncKeyState has it.
TEST(X11KeysAndButtons, KeysHeldAtTheKeyboardAreSeenOnEitherSide) {
    Connection user;
    const auto desktop = OpenBackend();
    constexpr std::uint8_t kLControl = 0xA2, kRShift = 0xA1;
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
        PressKey(user.get(), c.held, true);
        for (const std::uint8_t code : c.down) EXPECT_TRUE(desktop->IsKeyDown(code)) << +code;
        for (const std::uint8_t code : c.up) EXPECT_FALSE(desktop->IsKeyDown(code)) << +code;
        PressKey(user.get(), c.held, false);
        for (const std::uint8_t code : c.down) EXPECT_FALSE(desktop->IsKeyDown(code)) << +code;
    }
    // Our left button is X's button 1 and our right one button 3, as another client sees them.
    for (const auto& [button, mask] : {std::pair(platform::Button::kLeft, Button1Mask),
                                       std::pair(platform::Button::kRight, Button3Mask)}) {
        desktop->PressButton(button, true);
        EXPECT_EQ(ButtonsDown(user.get()), static_cast<unsigned>(mask));
        desktop->PressButton(button, false);
        EXPECT_EQ(ButtonsDown(user.get()), 0u);
    }
}

// What another client does reaches a watch in order, placed where it happened, each key with
// its side and what it types under Shift; the wheel is not a button.
TEST(X11InputWatch, SeesMovesClicksWheelAndKeysInOrder) {
    Connection user;
    const auto desktop = OpenBackend();
    std::string error;
    const auto watch = desktop->WatchInput(error);
    ASSERT_TRUE(watch) << error;
    Display* d = user.get();
    XTestFakeMotionEvent(d, -1, 40, 30, CurrentTime);
    for (const unsigned button : {3u, 4u, 2u}) {
        XTestFakeButtonEvent(d, button, True, CurrentTime);
        XTestFakeButtonEvent(d, button, False, CurrentTime);
    }
    for (const KeySym sym : {XK_Shift_L, XK_a, XK_1}) PressKey(d, sym, true);
    for (const KeySym sym : {XK_1, XK_a, XK_Shift_L, XK_Return}) PressKey(d, sym, false);
    std::vector<std::string> seen;
    while (const auto e = watch->Next(5000)) {
        const char* kinds[] = {"move", "button", "wheel", "key"};
        std::ostringstream line;
        line << kinds[static_cast<int>(e->kind)] << (e->down ? " down " : " ")
             << (e->button ? static_cast<int>(*e->button) : -1) << " " << e->at.x << "," << e->at.y
             << " " << +e->vk << " " << e->text;
        seen.push_back(line.str());
        if (e->vk == vk::kReturn) break;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "move -1 40,30 0 ", "button down 1 40,30 0 ", "button 1 40,30 0 ",
                        "wheel down -1 40,30 0 ", "button down -1 40,30 0 ", "button -1 40,30 0 ",
                        "key down -1 0,0 160 ", "key down -1 0,0 65 A", "key down -1 0,0 49 !",
                        "key -1 0,0 49 ", "key -1 0,0 65 ", "key -1 0,0 160 ", "key -1 0,0 13 "}));
}

// The key codes whose keysyms, per of them, pass, in the server's keymap now.
std::vector<int> Codes(Display* d, const std::function<bool(const KeySym*, int per)>& pass) {
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(d, &min, &max);
    const platform::x11::XPtr<KeySym> map(
        XGetKeyboardMapping(d, static_cast<KeyCode>(min), max - min + 1, &per));
    std::vector<int> codes;
    for (int code = min; map && code <= max; ++code) {
        if (pass(map.get() + (code - min) * per, per)) codes.push_back(code);
    }
    return codes;
}
int KeysGiving(Display* d, KeySym sym) {
    return static_cast<int>(Codes(d, [&](const KeySym* syms, int) { return *syms == sym; }).size());
}

// The keypad comma is on no key of the US keymap: typing it borrows a spare key code, which
// is given back once the keyboard has been idle for a while, and when the backend closes. Here
// the one spare code lies just below a code that holds more keysyms than any other: looking for
// a spare code must not read into the next one.
TEST(X11Keymap, ABorrowedKeyCodeIsGivenBack) {
    Connection user;
    Display* d = user.get();
    const std::vector<int> spare = Codes(d, [](const KeySym* syms, int per) {
        return std::count(syms, syms + per, NoSymbol) == per;
    });
    const auto kept = std::adjacent_find(spare.begin(), spare.end(),
                                         [](int code, int next) { return next == code + 1; });
    ASSERT_NE(kept, spare.end()) << "no two spare key codes side by side";
    KeySym full[8];
    std::iota(std::begin(full), std::end(full), XK_F20);
    for (const int code : spare) {
        if (code != *kept) XChangeKeyboardMapping(d, code, code == *kept + 1 ? 8 : 1, full, 1);
    }
    const auto holds_a_key = [](const KeySym* syms, int) { return *syms != NoSymbol; };
    const std::vector<int> in_use = Codes(d, holds_a_key);
    auto desktop = OpenBackend();
    const int separators = KeysGiving(user.get(), XK_KP_Separator);
    desktop->PressKey(vk::kSeparator, true);
    desktop->PressKey(vk::kSeparator, false);
    EXPECT_EQ(KeysGiving(user.get(), XK_KP_Separator), separators + 1);
    desktop->Pause(static_cast<std::uint32_t>(platform::x11::Keymap::kGrace.count()) + 50);
    EXPECT_EQ(KeysGiving(user.get(), XK_KP_Separator), separators);

    desktop->PressKey(vk::kSeparator, true);
    desktop->PressKey(vk::kSeparator, false);
    desktop.reset();
    EXPECT_EQ(KeysGiving(user.get(), XK_KP_Separator), separators);
    EXPECT_EQ(Codes(d, holds_a_key), in_use);  // no key of the user's was borrowed
    KeySym none = NoSymbol;
    for (const int code : spare) XChangeKeyboardMapping(d, code, 1, &none, 1);
    XSync(d, False);
}

// The shared-memory segments this process has, from the kernel's list.
int OurSegments() {
    std::ifstream list("/proc/sysvipc/shm");
    std::string line;
    int count = 0;
    std::getline(list, line);  // the heading
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        long key, id, perms, size, creator;
        fields >> key >> id >> perms >> size >> creator;
        count += creator == getpid();
    }
    return count;
}

// A copy still held keeps its pixels while later copies of a changed screen are made; no
// shared-memory segment or open file outlives the desktop.
TEST(X11Capture, AHeldCopyKeepsItsPixels) {
    using testing_support::Mismatches;
    const int segments = OurSegments();
    Connection user;
    const int files = testing_support::OpenFileCount();
    auto desktop = OpenBackend();
    Display* d = user.get();
    const int width = DisplayWidth(d, 0), height = DisplayHeight(d, 0);
    ShowPattern(d);
    platform::Bitmap before;
    ASSERT_TRUE(desktop->CopyScreen(0, 0, width, height, before));

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x123456;
    const Window cover =
        XCreateWindow(d, DefaultRootWindow(d), 0, 0, width, height, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(d, cover);
    XSync(d, False);
    const auto covered = [](int, int) { return testing_support::Rgb{0x12, 0x34, 0x56}; };
    for (int i = 0; i < 2; ++i) {  // twice: the second reuses what the first made
        platform::Bitmap after;
        ASSERT_TRUE(desktop->CopyScreen(0, 0, width, height, after));
        EXPECT_EQ(Mismatches(after, covered), 0);
    }
    EXPECT_EQ(Mismatches(before, testing_support::PatternOrBlack(0, 0, width, height)), 0);
    before.Reset();
    desktop.reset();
    EXPECT_EQ(OurSegments(), segments);
    EXPECT_EQ(testing_support::OpenFileCount(), files);
}

// What the desktop tells of the screen, the pointer, the keys and a window, each call once from
// the one numbered first on; its input leaves things as they are.
std::string Tell(platform::x11::X11Desktop& x, Window window, std::size_t first) {
    const auto t = [](auto... values) { return ((std::to_string(values) + " ") + ...); };
    platform::Bitmap copy;
    const auto rect = [&] { return x.WindowRect(window).value_or(platform::Rect{-1, -1, -1, -1}); };
    int listed = 0;
    const std::function<std::string()> calls[] = {
        [&] { return t(x.CopyScreen(0, 0, 64, 48, copy), x.CopyScreen(-5, -5, 64, 48, copy)); },
        [&] { return t(x.ScreenSize().width, x.ScreenSize().height); },
        [&] { return t(x.PointerPosition().x, x.PointerPosition().y); },
        [&] { return t(x.IsKeyDown(vk::kRControl), x.IsKeyDown(vk::kLButton)); },
        [&] {
            return x.ForEachWindow([&](auto) { return ++listed, true; }), t(listed);  // ours only
        },
        [&] { return x.WindowTitle(window) + " "; },
        [&] { return t(rect().left, rect().top, rect().right, rect().bottom); },
        [&] { return t(x.IsWindowVisible(window), x.IsWindowMinimised(window)); },
        [&] {
            x.MovePointer({7, 9}), x.PressButton(platform::Button::kLeft, true);
            x.PressKey(vk::kSeparator, true);  // on a borrowed key code
            const auto start = std::chrono::steady_clock::now();
            return x.Pause(300), t(std::chrono::steady_clock::now() - start > 200ms);
        },
    };
    const std::size_t n = std::size(calls);
    std::vector<std::string> told(n);
    for (std::size_t i = first; i < first + n; ++i) told[i % n] = calls[i % n]();
    return std::accumulate(told.begin(), told.end(), std::string());
}

// Once the server has gone, every call answers at once as for an empty desktop: no copy and no
// screen, the pointer at the origin, keys and buttons up, no windows, input dropped, waits cut
// short, and Lost says why, whether the call is the one that finds the loss out or not. The test
// ends its display, which ctest gives it alone.
TEST(X11LostServer, EveryCallFailsSafely) {
    const char* server = std::getenv("XVFB_PID");
    if (!server) GTEST_SKIP() << "it ends the display: run it under scripts/lib/with-display";
    Connection user;
    Display* d = user.get();
    const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 20, 50, 40, 0, 0, 0);
    XStoreName(d, window, "Lost");
    XMapWindow(d, window);
    XWarpPointer(d, 0, DefaultRootWindow(d), 0, 0, 0, 0, 7, 9);
    XTestFakeButtonEvent(d, Button1, True, CurrentTime);
    PressKey(d, XK_Control_R, true);
    std::vector<std::unique_ptr<platform::x11::X11Desktop>> desktops;
    for (std::size_t i = 0; i < 18; ++i) {
        using enum platform::x11::CaptureMethod;
        desktops.push_back(OpenBackend(i % 2 ? kGetImage : kAuto));
        ASSERT_TRUE(desktops[i]);
        EXPECT_EQ(Tell(*desktops[i], window, i / 2),
                  "1 1 640 480 7 9 1 1 1 Lost 10 20 60 60 1 0 1 ");
        EXPECT_EQ(desktops[i]->Lost(), std::nullopt);
    }
    kill(std::atoi(server), SIGKILL);
    ASSERT_TRUE(testing_support::WaitUntil([&] { return platform::x11::CheckConnection(d); }));
    const std::string why = std::string("lost the connection to X display \"") + DisplayString(d);
    for (std::size_t i = 0; i < desktops.size(); ++i) {
        for (const char* call : {"first", "later"}) {
            EXPECT_EQ(Tell(*desktops[i], window, i / 2), "0 0 0 0 0 0 0 0 0  -1 -1 -1 -1 0 0 0 ")
                << i << ", " << call;
            EXPECT_EQ(desktops[i]->Lost(), why + '"') << i;
        }
    }
}

}  // namespace
