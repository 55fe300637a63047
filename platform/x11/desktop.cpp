// SPDX-License-Identifier: GPL-3.0-or-later
#include <X11/extensions/XTest.h>

#include "platform/x11/capture.h"
#include "platform/x11/input_watch.h"
#include "platform/x11/keymap.h"
#include "platform/x11/x11_desktop.h"

namespace platform::x11 {

OpenResult X11Desktop::Open(const Options& options) {
    OpenResult result;
    DisplayPtr display = OpenDisplay(options.display_name, &result.error);
    if (!display) return result;
    const std::string shown = DisplayString(display.get());

    int event_base = 0;
    int error_base = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display.get(), &event_base, &error_base, &major, &minor)) {
        result.error = "X display \"" + shown + "\" lacks the XTEST extension";
        return result;
    }
    const char* names[] = {"WM_STATE",      "_NET_WM_NAME",         "UTF8_STRING",
                           "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_SUPPORTING_WM_CHECK"};
    Atom atoms[std::size(names)] = {};
    if (!XInternAtoms(display.get(), const_cast<char**>(names), std::size(names), False, atoms)) {
        result.error = "cannot intern atoms on X display \"" + shown + "\"";
        return result;
    }
    result.desktop.reset(new X11Desktop(
        std::move(display), shown, {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5]}));
    X11Desktop& desktop = *result.desktop;
    Display* d = desktop.display_.get();
    if (options.capture == CaptureMethod::kAuto) {
        desktop.capturer_ = MakeShmCapturer(d, desktop.root_);
    }
    if (!desktop.capturer_) desktop.capturer_ = MakeGetImageCapturer(d, desktop.root_);
    return result;
}

X11Desktop::X11Desktop(DisplayPtr display, std::string name, const WindowAtoms& atoms)
    : display_(std::move(display)),
      name_(std::move(name)),
      root_(DefaultRootWindow(display_.get())),
      atoms_(atoms),
      keymap_(std::make_unique<Keymap>(display_.get())) {}

X11Desktop::~X11Desktop() {
    // Before the connection closes: borrowed key codes get their empty keymap entry back.
    capturer_.reset();
    keymap_.reset();
}

std::unique_ptr<InputWatch> X11Desktop::WatchInput(std::string& error) {
    if (Gone()) {
        error = *Lost();
        return nullptr;
    }
    return WatchX11Input(name_, error);
}

std::optional<std::string> X11Desktop::Lost() const {
    if (!Gone()) return std::nullopt;
    return "lost the connection to X display \"" + name_ + "\"";
}

Size X11Desktop::ScreenSize() {
    if (Gone()) return {};
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    // Asked anew each time: the root window follows a change of screen size.
    if (!XGetGeometry(display_.get(), root_, &root, &x, &y, &width, &height, &border, &depth)) {
        return {};
    }
    return {static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

}  // namespace platform::x11
