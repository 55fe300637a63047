// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The X display a test runs on: scripts/lib/with-display starts it for each test program, with
// openbox unless RAVELKIN_TEST_DISPLAY says "none", and stops it afterwards.
#include <X11/Xlib.h>

#include <memory>

#include "platform/geometry.h"
#include "platform/x11/x11_desktop.h"

namespace x11_testing {

// True when a window manager runs on the display.
bool Managed();

// The test's own connection to the display, as another client acting as the user; like the
// backend's, it outlives a server that goes.
class Connection {
  public:
    Connection();
    Display* get() const { return display_.get(); }

  private:
    platform::x11::DisplayPtr display_;
};

// What the process has sent with writev so far: Xlib and XCB send what they have queued with
// one call before they wait for a reply (and when their buffer is full), so during a call that
// waits for the server, its round trips and the bytes of its requests.
struct Sent {
    long flushes = 0, bytes = 0;
};
Sent SentSoFar();

// The backend on the display; fails the test when it cannot open.
std::unique_ptr<platform::x11::X11Desktop> OpenBackend(
    platform::x11::CaptureMethod capture = platform::x11::CaptureMethod::kAuto);

// Covers the screen with an override-redirect window that shows PatternPixel(x, y) at each
// pixel (x, y); returns once it is on the screen.
void ShowPattern(Display* display);
// Presses or releases the key of keysym through XTest, as the user at the keyboard would.
void PressKey(Display* display, KeySym sym, bool down);
platform::Point PointerPosition(Display* display);
// The mouse buttons down now, as XQueryPointer's Button1Mask...Button5Mask bits; and where the
// pointer is.
unsigned ButtonsDown(Display* display, platform::Point* at = nullptr);

}  // namespace x11_testing
