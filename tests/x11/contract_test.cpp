// The desktop contract over the recording test double and the X11 backend.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include "tests/support/desktop_contract.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "platform/x11/keymap.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
using testing_support::kContractHeight;
using testing_support::kContractWidth;

// The backend on a private server without a window manager; the world is acted on and read
// through the test's own connection, and a minimised window is marked as a window manager
// marks it.
class X11World {
  public:
    X11World() { StartSession(&s_, kContractWidth, kContractHeight); }
    platform::Desktop& desktop() { return *s_.desktop; }
    void ShowPattern() { x11_testing::ShowPattern(s_.display()); }
    void UserHolds(std::uint8_t vk) {
        PressKey(s_.display(), platform::x11::KeysymForVirtualKey(vk), true);
    }
    bool KeyHeld(std::uint8_t vk) const {
        char keys[32];
        XQueryKeymap(s_.display(), keys);
        const KeyCode key = XKeysymToKeycode(s_.display(), platform::x11::KeysymForVirtualKey(vk));
        return key && (keys[key / 8] >> (key % 8)) & 1;
    }
    bool LeftHeld() const { return LeftButtonDown(s_.display()); }
    platform::Point Pointer() const { return PointerPosition(s_.display()); }
    void OpenWindow(const std::string& title, platform::Rect rect, bool minimised) {
        Display* d = s_.display();
        const Window window =
            XCreateSimpleWindow(d, DefaultRootWindow(d), rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, 0, 0, 0);
        Xutf8SetWMProperties(d, window, title.c_str(), nullptr, nullptr, 0, nullptr, nullptr,
                             nullptr);
        if (minimised) {
            const Atom wm_state = XInternAtom(d, "WM_STATE", False);
            const long state[2] = {IconicState, 0};
            XChangeProperty(d, window, wm_state, wm_state, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(state), 2);
        } else {
            XMapWindow(d, window);
        }
        XRaiseWindow(d, window);
        XSync(d, False);
    }

  private:
    Session s_;
};

struct WorldNames {
    template <class T>
    static std::string GetName(int) {
        return std::is_same_v<T, testing_support::FakeWorld> ? "Fake" : "X11";
    }
};
using Worlds = ::testing::Types<testing_support::FakeWorld, X11World>;

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Linux, DesktopContract, Worlds, WorldNames);
}  // namespace testing_support
