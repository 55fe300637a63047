#include "tests/support/virtual_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Quiet children: their chatter is not part of the test report.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
}

bool WindowManagerRunning(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool found =
        XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                           &type, &format, &count, &after, &data) == Success &&
        count == 1;
    if (data) XFree(data);
    return found;
}

}  // namespace

VirtualDisplay::VirtualDisplay(const Options& options) {
    if (const char* display = std::getenv("DISPLAY")) {
        had_display_ = true;
        previous_display_ = display;
    }
    StartServer(options);
    if (ok() && options.window_manager) StartWindowManager();
}

void VirtualDisplay::StartServer(const Options& options) {
    int fds[2];
    if (pipe(fds) != 0 || fcntl(fds[0], F_SETFD, FD_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    // Xvfb picks a free display number and writes it to the descriptor given by -displayfd.
    const std::string screen =
        std::to_string(options.width) + "x" + std::to_string(options.height) + "x24";
    server_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                     "-nolisten", "tcp", "-noreset", "+extension", "XTEST"});
    close(fds[1]);
    if (server_ <= 0) {
        close(fds[0]);
        error_ = "cannot start Xvfb";
        return;
    }
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (poll(&pfd, 1, 100) > 0) {
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not report its display";
        Stop(server_);
        return;
    }
    name_ = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", name_.c_str(), 1);
}

void VirtualDisplay::StartWindowManager() {
    window_manager_ = Spawn({"openbox", "--sm-disable"});
    Display* display = XOpenDisplay(name_.c_str());
    if (!display) {
        error_ = "cannot open " + name_;
        return;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (!WindowManagerRunning(display) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WindowManagerRunning(display)) error_ = "openbox did not start";
    XCloseDisplay(display);
}

VirtualDisplay::~VirtualDisplay() {
    Stop(window_manager_);
    Stop(server_);
    if (had_display_) {
        setenv("DISPLAY", previous_display_.c_str(), 1);
    } else {
        unsetenv("DISPLAY");
    }
}

}  // namespace testing_support
