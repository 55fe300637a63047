// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-target: a small X11 window to aim scripts at, and the test target of the X11
// backend's tests. Xlib only.
//
//   ravelkin-target [--title TEXT] [--position X,Y] [--no-focus]
//   ravelkin-target --save-logo PATH
//
// The window (title "Ravelkin Target" unless --title says otherwise, UTF-8) shows a 64x64
// colour logo with its top-left corner at (16, 16) of the window, and a text field below it.
// Typed characters go into the field: BackSpace deletes the last one, Return adds a line
// feed. Each left click on the logo counts and swaps the colour of the logo's frame.
// Everything that happens is printed on standard output, a line each, at once, as the Windows
// target does:
//   ready 0x<window id>         when the window is on the screen and drawn
//   click <count>               after each click on the logo
//   text <text>                 after each change of the field's text, as UTF-8, with a line
//                               break written as backslash n and a backslash doubled
//
// --position places the window's top-left corner at X,Y of the screen (default 100,100).
// The window takes the keyboard focus once shown, unless --no-focus is given.
// It ends on SIGINT or SIGTERM, or when the window is closed.
//
// --save-logo writes the logo, as it looks before any click, to PATH as a 24-bit BMP file and
// exits without opening a display (status 0 when written, 1 otherwise).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "examples/target_window/logo.h"
#include "platform/code_page.h"

namespace {

using namespace target_logo;

constexpr int kWidth = 320;
constexpr int kHeight = 160;
constexpr int kFieldX = 16;
constexpr int kFieldY = 100;
constexpr int kFieldWidth = 288;
constexpr int kFieldHeight = 24;

volatile std::sig_atomic_t g_quit = 0;

void OnSignal(int) {
    g_quit = 1;
}

// One line of the report on standard output, at once.
void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// A test tool must outlive requests that race with the window manager (focus on a window
// that is not viewable yet, for instance), so X errors are ignored.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

unsigned long PixelValue(const Visual* visual, Rgb c) {
    auto place = [](std::uint8_t value, unsigned long mask) {
        if (mask == 0) return 0ul;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        int bits = 0;
        while ((mask >> (shift + bits)) & 1) ++bits;
        const unsigned long v = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                          : static_cast<unsigned long>(value) >> (8 - bits);
        return (v << shift) & mask;
    };
    return place(c.r, visual->red_mask) | place(c.g, visual->green_mask) |
           place(c.b, visual->blue_mask);
}

struct Target {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    Atom utf8_atom = 0;
    Atom delete_atom = 0;
    std::string text;  // Latin-1, as XLookupString gives it
    long clicks = 0;

    void DrawLogo() {
        const int bytes_per_line = kLogoSize * 4;
        char* data = static_cast<char*>(std::calloc(kLogoSize, bytes_per_line));
        if (!data) return;
        XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                     data, kLogoSize, kLogoSize, 32, bytes_per_line);
        if (!image) {
            std::free(data);
            return;
        }
        for (int y = 0; y < kLogoSize; ++y) {
            for (int x = 0; x < kLogoSize; ++x) {
                XPutPixel(image, x, y, PixelValue(visual, LogoPixel(x, y, clicks % 2 == 1)));
            }
        }
        XPutImage(display, window, gc, image, 0, 0, kLogoX, kLogoY, kLogoSize, kLogoSize);
        XDestroyImage(image);  // frees data
    }

    void DrawField() {
        XSetForeground(display, gc, PixelValue(visual, {0xFF, 0xFF, 0xFF}));
        XFillRectangle(display, window, gc, kFieldX, kFieldY, kFieldWidth, kFieldHeight);
        XSetForeground(display, gc, PixelValue(visual, {0, 0, 0}));
        XDrawRectangle(display, window, gc, kFieldX, kFieldY, kFieldWidth - 1, kFieldHeight - 1);
        // The tail of the text that fits, with line feeds shown as spaces.
        std::string shown = text.size() > 40 ? text.substr(text.size() - 40) : text;
        for (char& c : shown) {
            if (c == '\n') c = ' ';
        }
        XDrawString(display, window, gc, kFieldX + 4, kFieldY + 16, shown.data(),
                    static_cast<int>(shown.size()));
        const std::string count = "clicks: " + std::to_string(clicks);
        // Clear the line first: a longer or different count must not print over the old one.
        XClearArea(display, window, kFieldX, kFieldY + kFieldHeight + 4, kFieldWidth, 20, False);
        XSetForeground(display, gc, PixelValue(visual, {0, 0, 0}));
        XDrawString(display, window, gc, kFieldX, kFieldY + kFieldHeight + 20, count.data(),
                    static_cast<int>(count.size()));
    }

    void Draw() {
        XClearWindow(display, window);
        DrawLogo();
        DrawField();
    }

    void ReportText() const {
        std::string shown;
        for (const char c : platform::Latin1ToUtf8(text)) {
            shown += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : std::string(1, c);
        }
        Say("text " + shown);
    }

    void OnKey(XKeyEvent& event) {
        char buffer[16];
        KeySym sym = NoSymbol;
        const int n = XLookupString(&event, buffer, sizeof buffer, &sym, nullptr);
        const std::string before = text;
        if (sym == XK_BackSpace) {
            if (!text.empty()) text.pop_back();
        } else if (sym == XK_Return || sym == XK_KP_Enter) {
            text += '\n';
        } else {
            for (int i = 0; i < n; ++i) {
                const auto c = static_cast<unsigned char>(buffer[i]);
                if (c >= 0x20 && c != 0x7F) text += static_cast<char>(c);
            }
        }
        if (text != before) ReportText();
        DrawField();
    }

    void OnButton(const XButtonEvent& event) {
        if (event.button != Button1) return;
        if (event.x < kLogoX || event.y < kLogoY || event.x >= kLogoX + kLogoSize ||
            event.y >= kLogoY + kLogoSize) {
            return;
        }
        ++clicks;
        Say("click " + std::to_string(clicks));
        DrawLogo();
        DrawField();
    }
};

void Usage() {
    std::fprintf(stderr,
                 "usage: ravelkin-target [--title TEXT] [--position X,Y] [--no-focus]\n"
                 "       ravelkin-target --save-logo PATH\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string title = "Ravelkin Target";
    int x = 100;
    int y = 100;
    bool take_focus = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--save-logo" && has_value) {
            if (SaveLogo(argv[i + 1])) return 0;
            std::fprintf(stderr, "ravelkin-target: cannot write %s\n", argv[i + 1]);
            return 1;
        } else if (arg == "--title" && has_value) {
            title = argv[++i];
        } else if (arg == "--position" && has_value) {
            if (std::sscanf(argv[++i], "%d,%d", &x, &y) != 2) {
                Usage();
                return 64;
            }
        } else if (arg == "--no-focus") {
            take_focus = false;
        } else {
            Usage();
            return 64;
        }
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "ravelkin-target: cannot open X display \"%s\"\n", name ? name : "");
        return 1;
    }
    XSetErrorHandler(&IgnoreXError);
    std::signal(SIGINT, &OnSignal);
    std::signal(SIGTERM, &OnSignal);

    Target t;
    t.display = display;
    const int screen = DefaultScreen(display);
    t.visual = DefaultVisual(display, screen);
    t.depth = DefaultDepth(display, screen);
    t.window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, kWidth, kHeight, 0,
                                   0, PixelValue(t.visual, {0xC0, 0xC0, 0xC0}));
    t.gc = XCreateGC(display, t.window, 0, nullptr);
    t.utf8_atom = XInternAtom(display, "UTF8_STRING", False);
    t.delete_atom = XInternAtom(display, "WM_DELETE_WINDOW", False);

    // WM_NAME in the encoding the text needs (STRING or COMPOUND_TEXT), _NET_WM_NAME in UTF-8.
    XSizeHints size{};
    size.flags = USPosition | PPosition | PSize;
    size.x = x;
    size.y = y;
    size.width = kWidth;
    size.height = kHeight;
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XClassHint class_hint{const_cast<char*>("ravelkin-target"),
                          const_cast<char*>("RavelkinTarget")};
    Xutf8SetWMProperties(display, t.window, title.c_str(), title.c_str(), nullptr, 0, &size, &hints,
                         &class_hint);
    XChangeProperty(display, t.window, XInternAtom(display, "_NET_WM_NAME", False), t.utf8_atom, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XSetWMProtocols(display, t.window, &t.delete_atom, 1);
    // Load the keymap now. Xlib does it at the first key lookup otherwise, and a keymap change
    // made by a typing program while Xlib sets this up can be missed for good.
    XKeysymToKeycode(display, XK_a);
    XSelectInput(display, t.window,
                 ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    XMapWindow(display, t.window);

    bool ready = false;
    while (!g_quit) {
        if (!XPending(display)) {
            // Wake up now and then to notice a signal; X events wake us at once.
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
            case MapNotify:
                if (take_focus) XSetInputFocus(display, t.window, RevertToParent, CurrentTime);
                break;
            case Expose:
                if (event.xexpose.count != 0) break;
                t.Draw();
                if (!ready) {
                    XSync(display, False);
                    char line[32];
                    std::snprintf(line, sizeof line, "ready 0x%lx", t.window);
                    Say(line);
                    ready = true;
                }
                break;
            case KeyPress:
                t.OnKey(event.xkey);
                break;
            case ButtonPress:
                t.OnButton(event.xbutton);
                break;
            case MappingNotify:
                XRefreshKeyboardMapping(&event.xmapping);
                break;
            case ClientMessage:
                if (static_cast<Atom>(event.xclient.data.l[0]) == t.delete_atom) g_quit = 1;
                break;
            default:
                break;
        }
    }
    XFreeGC(display, t.gc);
    XDestroyWindow(display, t.window);
    XCloseDisplay(display);
    return 0;
}
