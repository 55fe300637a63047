// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop contract over the recording test double and the X11 backend.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include "tests/support/desktop_contract.h"

#include <X11/Xutil.h>

#include <array>

#include "platform/x11/keymap.h"
#include "tests/platform/x11/x_testing.h"

namespace {

using namespace x11_testing;

// The backend on the test's display (640 x 480) with the given way to capture; the world is
// acted on and read through the test's own connection, and a minimised window is marked as a
// window manager marks it.
template <platform::x11::CaptureMethod kCapture>
class X11World {
  public:
    X11World() {
        EXPECT_STREQ(desktop_->capture_method(),
                     kCapture == platform::x11::CaptureMethod::kAuto ? "MIT-SHM" : "XGetImage");
    }
    platform::Desktop& desktop() { return *desktop_; }
    void ShowPattern() { x11_testing::ShowPattern(d()); }
    void UserHolds(std::uint8_t vk) { PressKey(d(), platform::x11::KeysymForVirtualKey(vk), true); }
    bool KeyHeld(std::uint8_t vk) const {
        char keys[32];
        XQueryKeymap(d(), keys);
        const KeyCode key = XKeysymToKeycode(d(), platform::x11::KeysymForVirtualKey(vk));
        return key && (keys[key / 8] >> (key % 8)) & 1;
    }
    bool LeftHeld() const { return ButtonsDown(d()) & Button1Mask; }
    platform::Point Pointer() const { return PointerPosition(d()); }
    bool OpenWindow(const std::string& title, platform::Rect rect, testing_support::Shown shown) {
        const Window window =
            XCreateSimpleWindow(d(), DefaultRootWindow(d()), rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, 0, 0, 0);
        Xutf8SetWMProperties(d(), window, title.c_str(), nullptr, nullptr, 0, nullptr, nullptr,
                             nullptr);
        if (shown == testing_support::Shown::kMinimised) {
            const Atom wm_state = XInternAtom(d(), "WM_STATE", False);
            const long state[2] = {IconicState, 0};
            XChangeProperty(d(), window, wm_state, wm_state, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(state), 2);
        } else if (shown == testing_support::Shown::kShown) {
            XMapWindow(d(), window);
        }
        XRaiseWindow(d(), window);
        XSync(d(), False);
        return true;
    }

  private:
    Display* d() const { return connection_.get(); }

    Connection connection_;
    std::unique_ptr<platform::x11::X11Desktop> desktop_ = OpenBackend(kCapture);
};

using platform::x11::CaptureMethod;
using Worlds = ::testing::Types<testing_support::FakeWorld, X11World<CaptureMethod::kAuto>,
                                X11World<CaptureMethod::kGetImage>>;
struct WorldNames {
    template <class T>
    static std::string GetName(int index) {
        return std::array{"Fake", "X11", "X11GetImage"}[index];
    }
};

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Linux, DesktopContract, Worlds, WorldNames);
}  // namespace testing_support
