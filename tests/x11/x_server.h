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

// Polls until done() holds or timeout passes; returns done()'s last answer. Never hopes that
// a fixed sleep was long enough.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

// A child process that is ended (SIGTERM, then SIGKILL) and reaped when this goes, and that
// the kernel ends if the test process dies first.
class Child {
  public:
    struct Options {
        std::string display;          // DISPLAY for the child; inherited when empty
        bool capture_stdout = false;  // read it with ReadLine
        bool quiet = false;           // output not captured goes to /dev/null
        int pass_fd = -1;             // a descriptor the child inherits
    };
    // Runs argv[0], searched in PATH; null when it cannot be started.
    static std::unique_ptr<Child> Spawn(const std::vector<std::string>& argv,
                                        const Options& options);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Next line of the child's output without its line end; false at the end of the output
    // or at the deadline.
    bool ReadLine(std::string* line, std::chrono::milliseconds timeout = 5s);
    // Asks the child to end, and waits (bounded) for it. True when it ended by itself or on
    // SIGTERM; its exit status then is in status.
    bool Stop(int* status = nullptr);
    // Waits, bounded, for the child to end on its own.
    bool WaitExit(int* status, std::chrono::milliseconds timeout);
    bool Running();

  private:
    Child(int pid, int out) : pid_(pid), out_(out) {}
    int pid_;
    int out_;
    std::string buffered_;
};

// A private Xvfb on a display number that the server picks itself (so parallel tests never
// collide), the US keymap pinned, optionally openbox managing it, and a connection of the
// test's own.
class XServer {
  public:
    static std::unique_ptr<XServer> Start(int width, int height, bool window_manager,
                                          std::string* error);
    ~XServer();

    const std::string& name() const { return name_; }
    Display* display() const { return display_; }
    // Ends the X server while its clients are still connected.
    void Kill() { xvfb_.reset(); }

  private:
    XServer() = default;
    std::string name_;
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> wm_;
    Display* display_ = nullptr;
};

// Reads a property of a window as bytes; nothing when the window or property is missing.
std::optional<std::string> ReadStringProperty(Display* display, Window window, const char* name);
std::optional<long> ReadCardinalProperty(Display* display, Window window, const char* name);

}  // namespace x11_testing
