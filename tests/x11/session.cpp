// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include "tests/x11/session.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

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

Rgb PatternPixel(int x, int y) {
    return {static_cast<std::uint8_t>(1 + (x * 7 + y) % 251),
            static_cast<std::uint8_t>(1 + (y * 5 + x * 3) % 251),
            static_cast<std::uint8_t>(1 + (x ^ y) % 251)};
}

Window ShowPattern(Display* display, int left, int top, int width, int height) {
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    const unsigned depth = static_cast<unsigned>(DefaultDepth(display, screen));
    const Window root = RootWindow(display, screen);

    // The picture becomes the window's background, which the server paints itself when the
    // window is mapped: once the map is synced, the picture is on the screen.
    const Pixmap pixmap = XCreatePixmap(display, root, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), depth);
    char* data = static_cast<char*>(std::calloc(static_cast<std::size_t>(width) * height, 4));
    XImage* image =
        XCreateImage(display, visual, depth, ZPixmap, 0, data, static_cast<unsigned>(width),
                     static_cast<unsigned>(height), 32, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = PatternPixel(left + x, top + y);
            XPutPixel(image, x, y,
                      (static_cast<unsigned long>(c.r) << 16) |
                          (static_cast<unsigned long>(c.g) << 8) | c.b);
        }
    }
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XDestroyImage(image);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = pixmap;
    const Window window =
        XCreateWindow(display, root, left, top, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWBackPixmap, &attributes);
    XFreePixmap(display, pixmap);
    XMapRaised(display, window);
    XSync(display, False);
    return window;
}

void PressKey(Display* display, KeySym sym, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down ? True : False, CurrentTime);
    XSync(display, False);
}

platform::Point PointerPosition(Display* display) {
    Window root = 0;
    Window child = 0;
    int x = -1;
    int y = -1;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

const char* TargetProgram() {
    return RAVELKIN_TARGET_PROGRAM;
}

std::unique_ptr<TargetWindow> TargetWindow::Start(const XServer& server,
                                                  const std::vector<std::string>& args,
                                                  std::string* error) {
    std::vector<std::string> argv{TargetProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto target = std::make_unique<TargetWindow>();
    Child::Options options;
    options.display = server.name();
    options.capture_stdout = true;
    target->child_ = Child::Spawn(argv, options);
    std::string line;
    if (!target->child_ || !target->child_->ReadLine(&line, 10s) || line.rfind("ready ", 0) != 0) {
        *error = "ravelkin-target did not come up (last line: \"" + line + "\")";
        return nullptr;
    }
    target->window_ = std::strtoul(line.c_str() + 6, nullptr, 16);
    return target;
}

std::string TargetWindow::StopAndReadOutput() {
    child_->Stop();
    std::string output;
    std::string line;
    while (child_->ReadLine(&line, 1s)) output += line + "\n";
    return output;
}

}  // namespace x11_testing
