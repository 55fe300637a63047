// SPDX-License-Identifier: GPL-3.0-or-later
// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include "tests/platform/x11/x_testing.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>
#include <sys/uio.h>

#include <atomic>
#include <cstdlib>
#include <string_view>

#include "tests/support/screen_pattern.h"

namespace x11_testing {

std::atomic<long> g_flushes{0};
std::atomic<long> g_bytes{0};
Sent SentSoFar() {
    return {g_flushes, g_bytes};
}

bool Managed() {
    const char* display = std::getenv("RAVELKIN_TEST_DISPLAY");
    return !display || !std::string_view(display).ends_with(" none");
}

Connection::Connection() : display_(platform::x11::OpenDisplay(nullptr, nullptr)) {
    if (!display_) ADD_FAILURE() << "no X display; run the test under scripts/lib/with-display";
}

std::unique_ptr<platform::x11::X11Desktop> OpenBackend(platform::x11::CaptureMethod capture) {
    auto opened = platform::x11::X11Desktop::Open({.capture = capture});
    if (!opened.desktop) ADD_FAILURE() << opened.error;
    return std::move(opened.desktop);
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
            const testing_support::Rgb c = testing_support::PatternPixel(x, y);
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

unsigned ButtonsDown(Display* display, platform::Point* at) {
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    if (at) *at = {x, y};
    return mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
}

platform::Point PointerPosition(Display* display) {
    platform::Point at;
    ButtonsDown(display, &at);
    return at;
}

}  // namespace x11_testing

// The libraries' writev calls come here first, then go on to the C library's.
extern "C" ssize_t writev(int fd, const iovec* vector, int count) {
    using Writev = ssize_t (*)(int, const iovec*, int);
    static const auto next = reinterpret_cast<Writev>(dlsym(RTLD_NEXT, "writev"));
    ++x11_testing::g_flushes;
    const ssize_t sent = next(fd, vector, count);
    if (sent > 0) x11_testing::g_bytes += sent;
    return sent;
}
