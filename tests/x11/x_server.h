#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace x11_testing {

using namespace std::chrono_literals;

// Polls until done() holds or timeout passes; returns done()'s last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

// A child process, ended (SIGTERM, then SIGKILL) and reaped when this goes; the kernel ends
// it too if the test process dies first.
class Child {
  public:
    // Runs argv[0], searched in PATH, with DISPLAY set to display when that is not empty.
    // Its standard output can be read with ReadLine when captured, else it goes to
    // /dev/null like its standard error when quiet. Null when it cannot be started.
    static std::unique_ptr<Child> Spawn(const std::vector<std::string>& argv,
                                        const std::string& display = {},
                                        bool capture_stdout = false, bool quiet = true);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line of output without its line end; false at its end or at the deadline.
    bool ReadLine(std::string* line, std::chrono::milliseconds timeout = 5s);
    // Waits, bounded, for the child to end on its own; its wait status goes to status.
    bool WaitExit(int* status, std::chrono::milliseconds timeout);
    // SIGTERM, and SIGKILL if it is still there after a bounded wait.
    void Stop();
    // Sends a signal to the child, as a user or a scheduler would.
    void Signal(int signal);

  private:
    Child(int pid, int out) : pid_(pid), out_(out) {}
    int pid_;
    int out_;
    std::string buffered_;
};

// A private Xvfb on a display number that it picks itself (so parallel tests never collide),
// the US keymap pinned, optionally openbox managing it, and a connection of the test's own.
class XServer {
  public:
    static std::unique_ptr<XServer> Start(int width, int height, bool window_manager,
                                          std::string* error);
    ~XServer();

    const std::string& name() const { return name_; }
    Display* display() const { return display_; }
    // Ends the X server while other clients are still connected. The test's own connection
    // is closed first: Xlib would end the test on its loss.
    void Kill();

  private:
    XServer() = default;
    std::string name_;
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> wm_;
    Display* display_ = nullptr;
};

// A window property's data as Xlib returns it (format-32 items are longs); nothing when the
// property is missing.
std::optional<std::string> ReadProperty(Display* display, Window window, const char* name);

}  // namespace x11_testing
