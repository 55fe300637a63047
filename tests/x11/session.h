#pragma once

#include <memory>

#include "platform/x11/x11_desktop.h"
#include "tests/support/scoped_install.h"
#include "tests/support/screen_pattern.h"
#include "tests/x11/x_server.h"

namespace x11_testing {

// A private X server with the backend connected to it. The backend goes first when this
// ends: it gives borrowed key codes back over its connection.
struct Session {
    std::unique_ptr<XServer> server;
    std::unique_ptr<platform::x11::X11Desktop> desktop;

    Display* display() const { return server->display(); }
};

// Use with ASSERT_NO_FATAL_FAILURE.
void StartSession(Session* session, int width = 640, int height = 480, bool window_manager = false,
                  platform::x11::CaptureMethod capture = platform::x11::CaptureMethod::kAuto);

using testing_support::Mismatches;
using testing_support::PatternOrBlack;
using testing_support::PatternPixel;
using testing_support::Rgb;
using testing_support::ScopedInstall;

// Covers the screen with an override-redirect window that shows PatternPixel(x, y) at each
// pixel (x, y); returns once it is on the screen.
void ShowPattern(Display* display);

// Presses or releases the key of keysym through XTest on the test's own connection, as the
// user at the keyboard would.
void PressKey(Display* display, KeySym sym, bool down);
platform::Point PointerPosition(Display* display);
bool LeftButtonDown(Display* display);
// The mouse buttons down now, as XQueryPointer's Button1Mask...Button5Mask bits.
unsigned ButtonsDown(Display* display);

// Another client that keeps changing the desktop: a child process, on its own connection,
// that calls step(display, n) for n = 0, 1, 2, ... until this goes.
class Churn {
  public:
    // Returns once the child has made its first steps; false from started() if it did not.
    Churn(const XServer& server, const std::function<void(Display*, unsigned long)>& step);
    ~Churn();
    Churn(const Churn&) = delete;
    Churn& operator=(const Churn&) = delete;
    bool started() const { return started_; }

  private:
    int pid_ = -1;
    bool started_ = false;
};

// The ravelkin-target program on a display, waited for until it is drawn.
class TargetWindow {
  public:
    static std::unique_ptr<TargetWindow> Start(const XServer& server,
                                               const std::vector<std::string>& args,
                                               std::string* error);
    Window window() const { return window_; }
    // The left clicks on the logo so far, as the program counts them; -1 when unreadable.
    long Clicks(Display* display) const;
    // Ends the program and returns what it printed after its ready line.
    std::string StopAndReadOutput();

  private:
    std::unique_ptr<Child> child_;
    Window window_ = 0;
};

// Has ravelkin-target save its logo, the picture scripts look for, as a BMP file at path.
bool SaveLogo(const std::string& path);

}  // namespace x11_testing
