// SPDX-License-Identifier: GPL-3.0-or-later
// What only the X11 backend does: keys and buttons as X names them, key codes borrowed for
// keysyms the keymap lacks, and screen copies held while the screen changes.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "tests/platform/x11/x_testing.h"
#include "tests/support/screen_pattern.h"

namespace {

using namespace x11_testing;
namespace vk = platform::vk;

// The generic virtual keys stand for either side, as GetAsyncKeyState has it.
TEST(X11KeyState, KeysHeldAtTheKeyboardAreSeenOnEitherSide) {
    Connection user;
    const auto desktop = OpenBackend();
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
        PressKey(user.get(), c.held, true);
        for (const std::uint8_t code : c.down) EXPECT_TRUE(desktop->IsKeyDown(code)) << +code;
        for (const std::uint8_t code : c.up) EXPECT_FALSE(desktop->IsKeyDown(code)) << +code;
        PressKey(user.get(), c.held, false);
        for (const std::uint8_t code : c.down) EXPECT_FALSE(desktop->IsKeyDown(code)) << +code;
    }
}

// Our left button is X's button 1 and our right one button 3, as another client sees them.
TEST(X11Buttons, LeftAndRightAreButtonsOneAndThree) {
    Connection user;
    const auto desktop = OpenBackend();
    const struct {
        platform::Button button;
        unsigned mask;
    } cases[] = {{platform::Button::kLeft, Button1Mask}, {platform::Button::kRight, Button3Mask}};
    for (const auto& c : cases) {
        desktop->PressButton(c.button, true);
        EXPECT_EQ(ButtonsDown(user.get()), c.mask);
        desktop->PressButton(c.button, false);
        EXPECT_EQ(ButtonsDown(user.get()), 0u);
    }
}

// Key codes that give sym without modifiers in the server's keymap now.
int KeysGiving(Display* display, KeySym sym) {
    int min = 0;
    int max = 0;
    XDisplayKeycodes(display, &min, &max);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &per);
    int count = 0;
    for (int i = 0; map && i <= max - min; ++i) count += map[i * per] == sym;
    if (map) XFree(map);
    return count;
}

// The keypad comma is on no key of the US keymap: typing it borrows a spare key code, which
// is given back once the keyboard has been idle for a while, and when the backend closes.
TEST(X11Keymap, ABorrowedKeyCodeIsGivenBack) {
    Connection user;
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
}

// A copy still held keeps its pixels while later copies of a changed screen are made.
TEST(X11Capture, AHeldCopyKeepsItsPixels) {
    using testing_support::Mismatches;
    Connection user;
    const auto desktop = OpenBackend();
    Display* d = user.get();
    const int width = DisplayWidth(d, DefaultScreen(d));
    const int height = DisplayHeight(d, DefaultScreen(d));
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
    for (int i = 0; i < 2; ++i) {  // twice: the second reuses what the first made
        platform::Bitmap after;
        ASSERT_TRUE(desktop->CopyScreen(0, 0, width, height, after));
        EXPECT_EQ(Mismatches(after,
                             [](int, int) {
                                 return testing_support::Rgb{0x12, 0x34, 0x56};
                             }),
                  0);
    }
    EXPECT_EQ(Mismatches(before, testing_support::PatternOrBlack(0, 0, width, height)), 0);
}

}  // namespace
