#include "platform/x11/display.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::x11 {
namespace {

ErrorTrap* g_innermost = nullptr;
char g_display_name[256] = "";

// A round trip only when a request is still unanswered: after a reply or an earlier sync,
// every error of the requests before it has arrived already.
void SyncIfPending(Display* display) {
    if (NextRequest(display) - 1 > LastKnownRequestProcessed(display)) XSync(display, False);
}

int OnConnectionLost(Display*) {
    // Only async-signal-safe calls: Xlib is in an undefined state here.
    static const char prefix[] = "ravelkin: lost the connection to X display \"";
    static const char suffix[] = "\"\n";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, prefix, sizeof prefix - 1);
    n = write(STDERR_FILENO, g_display_name, std::strlen(g_display_name));
    n = write(STDERR_FILENO, suffix, sizeof suffix - 1);
    _exit(1);
}

}  // namespace

DisplayPtr OpenDisplay(const char* name, std::string* error) {
    const char* shown = name ? name : std::getenv("DISPLAY");
    if (!shown || !*shown) {
        if (error) *error = "cannot open the X display: $DISPLAY is not set";
        return nullptr;
    }
    DisplayPtr display(XOpenDisplay(shown));
    if (!display && error) {
        *error = std::string("cannot open X display \"") + shown + "\"" +
                 (name ? "" : " (from $DISPLAY)");
    }
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

void InstallConnectionLossPolicy(const char* display_name) {
    std::snprintf(g_display_name, sizeof g_display_name, "%s", display_name ? display_name : "");
    XSetIOErrorHandler(&OnConnectionLost);
}

}  // namespace platform::x11
