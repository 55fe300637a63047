// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/display.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform::x11 {
namespace {

ErrorTrap* g_innermost = nullptr;

// A round trip only when a request is still unanswered: after a reply or an earlier sync,
// every error of the requests before it has arrived already.
void SyncIfPending(Display* display) {
    if (NextRequest(display) - 1 > LastKnownRequestProcessed(display)) XSync(display, False);
}

// Connections from OpenDisplay, and whether their server has gone. Xlib's IO error handler
// is one for the whole process: it must tell our connections from those of others (the
// dialog toolkit's).
struct Watched {
    Display* display;
    bool lost;
};
std::mutex g_watch_mutex;
std::vector<Watched> g_watched;
XIOErrorHandler g_previous_io = nullptr;

Watched* Find(Display* display) {
    const auto it = std::find_if(g_watched.begin(), g_watched.end(),
                                 [&](const Watched& w) { return w.display == display; });
    return it == g_watched.end() ? nullptr : &*it;
}

int OnIOError(Display* display) {
    {
        std::lock_guard lock(g_watch_mutex);
        // Ours: returning lets Xlib go on to the connection's exit handler below.
        if (Find(display)) return 0;
    }
    // The previous handler is Xlib's default when none was set; it ends the process.
    return g_previous_io ? g_previous_io(display) : 0;
}

void OnConnectionLost(Display* display, void*) {
    std::lock_guard lock(g_watch_mutex);
    if (Watched* w = Find(display)) w->lost = true;
}

void Watch(Display* display) {
    std::lock_guard lock(g_watch_mutex);
    if (!g_previous_io) g_previous_io = XSetIOErrorHandler(&OnIOError);
    g_watched.push_back({display, false});
    XSetIOErrorExitHandler(display, &OnConnectionLost, nullptr);
}

}  // namespace

void DisplayCloser::operator()(Display* display) const {
    if (!display) return;
    // Still watched while it closes: a server that goes meanwhile must not end the process.
    XCloseDisplay(display);
    std::lock_guard lock(g_watch_mutex);
    std::erase_if(g_watched, [&](const Watched& w) { return w.display == display; });
}

bool ConnectionLost(Display* display) {
    std::lock_guard lock(g_watch_mutex);
    const Watched* w = Find(display);
    return w && w->lost;
}

bool CheckConnection(Display* display) {
    if (ConnectionLost(display)) return true;
    if (XPending(display) > 0) SyncAndDiscard(display);
    return ConnectionLost(display);
}

DisplayPtr OpenDisplay(const char* name, std::string* error) {
    const char* shown = name ? name : std::getenv("DISPLAY");
    if (!shown || !*shown) {
        if (error) *error = "cannot open the X display: $DISPLAY is not set";
        return nullptr;
    }
    DisplayPtr display(XOpenDisplay(shown));
    if (!display) {
        if (error) {
            *error = std::string("cannot open X display \"") + shown + "\"" +
                     (name ? "" : " (from $DISPLAY)");
        }
        return nullptr;
    }
    Watch(display.get());
    return display;
}

ErrorTrap::ErrorTrap(Display* display)
    : display_(display), outer_(g_innermost), previous_(XSetErrorHandler(&ErrorTrap::Handle)) {
    // Every trap syncs before it goes, so no earlier request of ours is still unanswered.
    g_innermost = this;
}

ErrorTrap::~ErrorTrap() {
    // Errors of requests still in flight belong to this trap, not to the handler after it.
    SyncIfPending(display_);
    g_innermost = outer_;
    XSetErrorHandler(previous_);
}

bool ErrorTrap::Failed() {
    SyncIfPending(display_);
    return error_code_ != 0;
}

int ErrorTrap::Handle(Display* display, XErrorEvent* event) {
    for (ErrorTrap* trap = g_innermost; trap; trap = trap->outer_) {
        if (trap->display_ == display) {
            if (trap->error_code_ == 0) trap->error_code_ = event->error_code;
            return 0;
        }
    }
    // Another connection's error: hand it to the handler that was there before any trap.
    ErrorTrap* outermost = g_innermost;
    while (outermost && outermost->outer_) outermost = outermost->outer_;
    if (outermost && outermost->previous_) return outermost->previous_(display, event);
    return 0;
}

void SyncAndDiscard(Display* display) {
    XSync(display, True);
}

}  // namespace platform::x11
