#include "tests/x11/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace x11_testing {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline) return done();
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::unique_ptr<Child> Child::Spawn(const std::vector<std::string>& argv,
                                    const std::string& display, bool capture_stdout, bool quiet) {
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string display_entry = "DISPLAY=" + display;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e) {
        if (display.empty() || std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
    }
    if (!display.empty()) env.push_back(const_cast<char*>(display_entry.c_str()));
    env.push_back(nullptr);

    int out[2] = {-1, -1};
    if (capture_stdout && pipe2(out, O_CLOEXEC) != 0) return nullptr;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        const int null = quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
        if (out[1] >= 0 || null >= 0) dup2(out[1] >= 0 ? out[1] : null, STDOUT_FILENO);
        if (null >= 0) dup2(null, STDERR_FILENO);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    if (out[1] >= 0) close(out[1]);
    if (pid < 0) {
        if (out[0] >= 0) close(out[0]);
        return nullptr;
    }
    return std::unique_ptr<Child>(new Child(pid, out[0]));
}

Child::~Child() {
    Stop();
    if (out_ >= 0) close(out_);
}

bool Child::ReadLine(std::string* line, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            *line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd fd{out_, POLLIN, 0};
        if (out_ < 0 || left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            // The end of the output; a last line without a line end still counts.
            if (buffered_.empty()) return false;
            buffered_ += '\n';
        } else {
            buffered_.append(chunk, static_cast<std::size_t>(n));
        }
    }
}

void Child::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

bool Child::WaitExit(int* status, std::chrono::milliseconds timeout) {
    int raw = 0;
    const bool ended =
        pid_ > 0 && WaitUntil([&] { return waitpid(pid_, &raw, WNOHANG) != 0; }, timeout);
    if (!ended) return false;
    pid_ = -1;
    if (status) *status = raw;
    return true;
}

void Child::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (WaitExit(nullptr, 5s)) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::unique_ptr<XServer> XServer::Start(int width, int height, bool window_manager,
                                        std::string* error) {
    std::unique_ptr<XServer> server(new XServer);
    // Xvfb picks a free display number and prints it once it accepts connections.
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server->xvfb_ = Child::Spawn(
        {"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, {},
        true);
    std::string number;
    if (!server->xvfb_ || !server->xvfb_->ReadLine(&number, 20s) || number.empty()) {
        *error = "Xvfb did not start (is it installed?)";
        return nullptr;
    }
    server->name_ = ":" + number;
    server->display_ = XOpenDisplay(server->name_.c_str());
    if (!server->display_) {
        *error = "cannot connect to " + server->name_;
        return nullptr;
    }

    // The keymap the tests expect, whatever the machine's default; skipped where setxkbmap is
    // not installed.
    if (auto setxkbmap = Child::Spawn({"setxkbmap", "us"}, server->name_)) {
        setxkbmap->WaitExit(nullptr, 10s);
    }

    if (window_manager) {
        // Openbox owns the root window before it manages windows, and drops the map requests
        // of that time; so it counts as ready once it has framed a probe window, mapped again
        // after every attempt that went unanswered.
        server->wm_ = Child::Spawn({"openbox", "--sm-disable"}, server->name_);
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
        const auto deadline = Clock::now() + 10s;
        while (!managed && server->wm_ && Clock::now() < deadline) {
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

void XServer::Kill() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    wm_.reset();
    xvfb_.reset();
}

XServer::~XServer() {
    Kill();
}

std::optional<std::string> ReadProperty(Display* display, Window window, const char* name) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1 << 20, False,
                           AnyPropertyType, &type, &format, &count, &after, &data);
    std::optional<std::string> value;
    if (status == Success && type != None) {
        const std::size_t item = format == 32 ? sizeof(long) : static_cast<std::size_t>(format) / 8;
        value.emplace(reinterpret_cast<const char*>(data), count * item);
    }
    if (data) XFree(data);
    return value;
}

}  // namespace x11_testing
