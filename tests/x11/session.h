#pragma once

#include <memory>

#include "platform/x11/x11_desktop.h"
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

// Makes a desktop the active one while it lives.
class ScopedInstall {
  public:
    explicit ScopedInstall(platform::Desktop* desktop) : previous_(platform::Install(desktop)) {}
    ~ScopedInstall() { platform::Install(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

  private:
    platform::Desktop* previous_;
};

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A picture with no black pixel, different at every place of a small screen.
Rgb PatternPixel(int x, int y);
// Covers the screen with an override-redirect window that shows PatternPixel(x, y) at each
// pixel (x, y); returns once it is on the screen.
void ShowPattern(Display* display);
// The number of pixels of the copy that differ from want(column, row); reports the first few.
int Mismatches(const platform::Bitmap& copy, const std::function<Rgb(int, int)>& want);
// want for a copy of the area at (left, top) of the pattern on a width x height screen.
std::function<Rgb(int, int)> PatternOrBlack(int left, int top, int width, int height);

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
    // Ends the program and returns what it printed after its ready line.
    std::string StopAndReadOutput();

  private:
    std::unique_ptr<Child> child_;
    Window window_ = 0;
};

}  // namespace x11_testing
