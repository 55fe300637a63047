// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include "tests/x11/session.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace x11_testing {

void StartSession(Session* session, int width, int height, bool window_manager,
                  platform::x11::CaptureMethod capture) {
    std::string error;
    session->server = XServer::Start(width, height, window_manager, &error);
    ASSERT_TRUE(session->server) << error;
    auto opened = platform::x11::X11Desktop::Open(
        {.display_name = session->server->name().c_str(), .capture = capture});
    ASSERT_TRUE(opened.desktop) << opened.error;
    session->desktop = std::move(opened.desktop);
}

void ShowPattern(Display* display) {
    const int screen = DefaultScreen(display);
    const int width = DisplayWidth(display, screen);
    const int height = DisplayHeight(display, screen);
    const auto depth = static_cast<unsigned>(DefaultDepth(display, screen));
    const Window root = RootWindow(display, screen);

    // The picture becomes the window's background, which the server paints itself when the
    // window is mapped: once the map is synced, the picture is on the screen.
    XImage* image =
        XCreateImage(display, DefaultVisual(display, screen), depth, ZPixmap, 0,
                     static_cast<char*>(std::calloc(width * height, 4)), width, height, 32, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = PatternPixel(x, y);
            XPutPixel(image, x, y, (c.r << 16) | (c.g << 8) | c.b);
        }
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = XCreatePixmap(display, root, width, height, depth);
    const GC gc = XCreateGC(display, attributes.background_pixmap, 0, nullptr);
    XPutImage(display, attributes.background_pixmap, gc, image, 0, 0, 0, 0, width, height);
    XFreeGC(display, gc);
    XDestroyImage(image);
    const Window window =
        XCreateWindow(display, root, 0, 0, width, height, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixmap, &attributes);
    XFreePixmap(display, attributes.background_pixmap);
    XMapRaised(display, window);
    XSync(display, False);
}

void PressKey(Display* display, KeySym sym, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down ? True : False, CurrentTime);
    XSync(display, False);
}

namespace {
unsigned PointerState(Display* display, platform::Point* at) {
    Window root = 0;
    Window child = 0;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &at->x, &at->y, &wx, &wy,
                  &mask);
    return mask;
}
}  // namespace

unsigned ButtonsDown(Display* display) {
    platform::Point at;
    return PointerState(display, &at) &
           (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
}

platform::Point PointerPosition(Display* display) {
    platform::Point at;
    PointerState(display, &at);
    return at;
}

bool LeftButtonDown(Display* display) {
    return ButtonsDown(display) & Button1Mask;
}

Churn::Churn(const XServer& server, const std::function<void(Display*, unsigned long)>& step) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        Display* display = XOpenDisplay(server.name().c_str());
        if (!display) _exit(1);
        for (unsigned long n = 0;; ++n) {
            step(display, n);
            // A round trip and a breath each step: a client that floods the server slows every
            // other client down, which is not what the tests look at.
            XSync(display, False);
            usleep(1000);
            if (n == 31 && write(ready[1], "r", 1) != 1) _exit(1);
        }
    }
    close(ready[1]);
    pollfd fd{ready[0], POLLIN, 0};
    char byte = 0;
    started_ = pid_ > 0 && poll(&fd, 1, 10'000) == 1 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
}

Churn::~Churn() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::unique_ptr<TargetWindow> TargetWindow::Start(const XServer& server,
                                                  const std::vector<std::string>& args,
                                                  std::string* error) {
    std::vector<std::string> argv{RAVELKIN_TARGET_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    auto target = std::make_unique<TargetWindow>();
    target->child_ = Child::Spawn(argv, server.name(), true, false);
    std::string line;
    if (!target->child_ || !target->child_->ReadLine(&line, 10s) || line.rfind("ready ", 0) != 0) {
        *error = "ravelkin-target did not come up (last line: \"" + line + "\")";
        return nullptr;
    }
    target->window_ = std::strtoul(line.c_str() + 6, nullptr, 16);
    return target;
}

long TargetWindow::Clicks(Display* display) const {
    const auto bytes = ReadProperty(display, window_, "_RAVELKIN_CLICKS");
    long clicks = -1;
    if (bytes && bytes->size() == sizeof clicks) std::memcpy(&clicks, bytes->data(), sizeof clicks);
    return clicks;
}

std::string TargetWindow::StopAndReadOutput() {
    child_->Stop();
    std::string output;
    std::string line;
    while (child_->ReadLine(&line, 1s)) output += line + "\n";
    return output;
}

bool SaveLogo(const std::string& path) {
    auto saver = Child::Spawn({RAVELKIN_TARGET_PROGRAM, "--save-logo", path});
    int status = -1;
    return saver && saver->WaitExit(&status, 10s) && status == 0;
}

}  // namespace x11_testing
