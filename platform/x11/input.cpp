// SPDX-License-Identifier: GPL-3.0-or-later
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/stop_request.h"
#include "platform/virtual_keys.h"
#include "platform/x11/keymap.h"
#include "platform/x11/x11_desktop.h"

namespace platform::x11 {

// Each event goes through a trap, which syncs: the server has acted on it before we return, so
// the next capture sees its effect. A refused event is dropped, as mouse_event drops one.
void X11Desktop::SendPointerMove(Point to) {
    if (Gone()) return;
    Tidy();
    Display* display = display_.get();
    ErrorTrap trap(display);
    XTestFakeMotionEvent(display, DefaultScreen(display), to.x, to.y, CurrentTime);
}

void X11Desktop::SendButton(Button button, bool down) {
    if (Gone()) return;
    Tidy();
    ErrorTrap trap(display_.get());
    XTestFakeButtonEvent(display_.get(), button == Button::kLeft ? Button1 : Button3,
                         down ? True : False, CurrentTime);
}

void X11Desktop::SendKey(std::uint8_t vk, bool down) {
    if (Gone()) return;
    Tidy();
    const KeyCode ours = pressed_code_[vk];
    KeyCode code;
    if (down) {
        // A second press of a key that is still down reuses its code, as autorepeat would.
        code = ours ? ours : keymap_->Press(KeysymForVirtualKey(vk));
        pressed_code_[vk] = code;
    } else {
        // Releasing a key we did not press: the key that gives its keysym, never a borrowed
        // one, as nothing can be holding a code we have not mapped yet.
        code = ours ? ours : keymap_->Find(KeysymForVirtualKey(vk));
        pressed_code_[vk] = 0;
    }
    if (code == 0) return;
    {
        ErrorTrap trap(display_.get());
        XTestFakeKeyEvent(display_.get(), code, down ? True : False, CurrentTime);
    }
    if (!down && ours) keymap_->Released(code);
    keymap_->Touch();
}

namespace {

// The state of the pointer's buttons, as XQueryPointer's Button1Mask... bits.
unsigned QueryPointer(Display* display, Window root, Point* at) {
    Window root_seen = 0;
    Window child = 0;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, root, &root_seen, &child, &at->x, &at->y, &wx, &wy, &mask)) {
        return 0;
    }
    return mask;
}

}  // namespace

Point X11Desktop::PointerPosition() {
    Point at;
    if (!Gone()) QueryPointer(display_.get(), root_, &at);
    return at;
}

bool X11Desktop::IsKeyDown(std::uint8_t vk) {
    if (Gone()) return false;
    Tidy();
    const unsigned button = vk == vk::kLButton   ? Button1Mask
                            : vk == vk::kMButton ? Button2Mask
                            : vk == vk::kRButton ? Button3Mask
                                                 : 0;
    if (button) {
        Point at;
        return QueryPointer(display_.get(), root_, &at) & button;
    }
    char keys[32] = {};
    XQueryKeymap(display_.get(), keys);
    // A key we pressed on a borrowed code counts too: the keymap may name it differently.
    const KeyCode ours = pressed_code_[vk];
    if (ours && (keys[ours / 8] >> (ours % 8)) & 1) return true;
    return keymap_->AnyDown(StateKeysymsForVirtualKey(vk), keys);
}

void X11Desktop::Pause(std::uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kSlice = std::chrono::milliseconds(20);
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    Tidy();
    while (!stop_request::IsRaised()) {
        const auto now = Clock::now();
        if (now >= deadline) return;
        std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, deadline - now));
        // A server that goes during a long wait ends it, so that the run can report it.
        if (CheckConnection(display_.get())) return;
        if (keymap_->HasBorrowed()) Tidy();
    }
}

void X11Desktop::Tidy() {
    keymap_->GiveBackDue(false);
}

}  // namespace platform::x11
