#include "tests/x11/x_server.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace x11_testing {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return done();
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::unique_ptr<Child> Child::Spawn(const std::vector<std::string>& argv, const Options& options) {
    // Everything the child needs is prepared before fork: after it, only async-signal-safe
    // calls are allowed.
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string display_entry = "DISPLAY=" + options.display;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        if (!options.display.empty() && std::strncmp(*e, "DISPLAY=", 8) == 0) continue;
        env.push_back(*e);
    }
    if (!options.display.empty()) env.push_back(const_cast<char*>(display_entry.c_str()));
    env.push_back(nullptr);

    int out[2] = {-1, -1};
    if (options.capture_stdout && pipe2(out, O_CLOEXEC) != 0) return nullptr;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        if (out[0] >= 0) close(out[0]), close(out[1]);
        return nullptr;
    }
    if (pid == 0) {
        // Ends with the test process, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null = options.quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
        if (out[1] >= 0) {
            dup2(out[1], STDOUT_FILENO);
        } else if (null >= 0) {
            dup2(null, STDOUT_FILENO);
        }
        if (null >= 0) dup2(null, STDERR_FILENO);
        if (options.pass_fd >= 0) fcntl(options.pass_fd, F_SETFD, 0);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    if (out[1] >= 0) close(out[1]);
    return std::unique_ptr<Child>(new Child(pid, out[0]));
}

Child::~Child() {
    Stop();
    if (out_ >= 0) close(out_);
}

bool Child::ReadLine(std::string* line, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = buffered_.find('\n');
        if (end != std::string::npos) {
            *line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        if (out_ < 0) return false;
        pollfd fd{out_, POLLIN, 0};
        const int ready = poll(&fd, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The end of the output: a last line without a line end still counts.
            if (buffered_.empty()) return false;
            *line = buffered_;
            buffered_.clear();
            return true;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

bool Child::Running() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

bool Child::WaitExit(int* status, std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return false;
    int raw = 0;
    const bool ended = WaitUntil(
        [&] {
            const pid_t r = waitpid(pid_, &raw, WNOHANG);
            return r == pid_ || (r < 0 && errno == ECHILD);
        },
        timeout);
    if (!ended) return false;
    pid_ = -1;
    if (status) *status = raw;
    return true;
}

bool Child::Stop(int* status) {
    if (pid_ <= 0) return false;
    kill(pid_, SIGTERM);
    if (WaitExit(status, 5s)) return true;
    const pid_t pid = pid_;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid_ = -1;
    return false;
}

std::unique_ptr<XServer> XServer::Start(int width, int height, bool window_manager,
                                        std::string* error) {
    std::unique_ptr<XServer> server(new XServer);
    // Xvfb picks a free display number itself and writes it to this pipe once it listens.
    int number_pipe[2];
    if (pipe2(number_pipe, O_CLOEXEC) != 0) {
        *error = "pipe failed";
        return nullptr;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    Child::Options quiet;
    quiet.quiet = true;
    Child::Options xvfb = quiet;
    xvfb.pass_fd = number_pipe[1];
    server->xvfb_ = Child::Spawn({"Xvfb", "-displayfd", std::to_string(number_pipe[1]), "-screen",
                                  "0", screen, "-nolisten", "tcp", "-noreset"},
                                 xvfb);
    close(number_pipe[1]);
    if (!server->xvfb_) {
        close(number_pipe[0]);
        *error = "cannot start Xvfb";
        return nullptr;
    }
    std::string number;
    const auto deadline = Clock::now() + 20s;
    while (number.find('\n') == std::string::npos) {
        pollfd fd{number_pipe[0], POLLIN, 0};
        if (poll(&fd, 1, RemainingMs(deadline)) <= 0) break;
        char chunk[32];
        const ssize_t n = read(number_pipe[0], chunk, sizeof chunk);
        if (n <= 0) break;
        number.append(chunk, static_cast<std::size_t>(n));
    }
    close(number_pipe[0]);
    if (number.find('\n') == std::string::npos) {
        *error = "Xvfb did not start (is it installed?)";
        return nullptr;
    }
    server->name_ = ":" + number.substr(0, number.find('\n'));
    server->display_ = XOpenDisplay(server->name_.c_str());
    if (!server->display_) {
        *error = "cannot connect to " + server->name_;
        return nullptr;
    }

    // The keymap the tests expect, whatever the machine's default; skipped where setxkbmap is
    // not installed.
    if (auto setxkbmap = Child::Spawn({"setxkbmap", "-display", server->name_, "us"}, quiet)) {
        setxkbmap->WaitExit(nullptr, 10s);
    }

    if (window_manager) {
        Child::Options wm = quiet;
        wm.display = server->name_;
        server->wm_ = Child::Spawn({"openbox", "--sm-disable"}, wm);
        // Openbox takes over the root window before it is ready to manage windows, and drops
        // the map requests of that time; so it counts as ready once it has framed a probe
        // window, which is mapped again after every attempt that went unanswered.
        Display* d = server->display_;
        const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        const auto framed = [&] {
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(d, probe, &root, &parent, &children, &count)) return false;
            if (children) XFree(children);
            return parent != root;
        };
        bool managed = false;
        const auto wm_deadline = Clock::now() + 10s;
        while (!managed && server->wm_ && Clock::now() < wm_deadline) {
            XMapWindow(d, probe);
            XSync(d, False);
            managed = WaitUntil(framed, 300ms);
        }
        XDestroyWindow(d, probe);
        XSync(d, False);
        if (!managed) {
            *error = "openbox did not start on " + server->name_;
            return nullptr;
        }
    }
    return server;
}

XServer::~XServer() {
    if (display_) XCloseDisplay(display_);
    wm_.reset();
    xvfb_.reset();
}

std::optional<std::string> ReadStringProperty(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom atom = XInternAtom(display, name, False);
    if (XGetWindowProperty(display, window, atom, 0, 1 << 20, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success ||
        type == None || format != 8) {
        if (data) XFree(data);
        return std::nullopt;
    }
    std::string value(reinterpret_cast<const char*>(data), count);
    XFree(data);
    return value;
}

std::optional<long> ReadCardinalProperty(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const Atom atom = XInternAtom(display, name, False);
    if (XGetWindowProperty(display, window, atom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) != Success ||
        type != XA_CARDINAL || format != 32 || count != 1) {
        if (data) XFree(data);
        return std::nullopt;
    }
    const long value = *reinterpret_cast<const long*>(data);
    XFree(data);
    return value;
}

}  // namespace x11_testing
