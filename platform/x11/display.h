// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace platform::x11 {

struct DisplayCloser {
    void operator()(Display* display) const;
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// Memory that Xlib hands out and XFree releases (query results, property data).
struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};
template <class T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

// Opens the display named by name, or by $DISPLAY when name is null. On failure returns null
// and sets error to a message that names the display (or says that $DISPLAY is unset).
//
// The connection outlives its server. Where Xlib's default handlers would end the process,
// Xlib marks the connection dead and returns; every later call on it fails at once (no reply,
// no data, requests dropped) and ConnectionLost says so. Other connections of the process keep
// the handler they had.
DisplayPtr OpenDisplay(const char* name, std::string* error);

// True once the server of a connection from OpenDisplay has gone.
bool ConnectionLost(Display* display);
// Reads what the server has sent, without a round trip, so that a server that has gone is
// noticed while we send nothing (during a wait); events, which we never read, are dropped.
// Returns ConnectionLost.
bool CheckConnection(Display* display);

// Catches the X errors of one connection while it lives, instead of letting Xlib's default
// handler end the process: a window may vanish between two of our requests at any time.
// Errors on other connections go on to the handler that was installed before. Xlib reports
// errors late, so Failed() first syncs. Single-threaded use, like Xlib's handler itself.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has handled every request sent so far, then says whether any
    // of them failed since the trap was set.
    bool Failed();

  private:
    static int Handle(Display* display, XErrorEvent* event);

    Display* display_;
    int error_code_ = 0;
    ErrorTrap* outer_;
    XErrorHandler previous_;
};

// Our connections read no events. Sync and drop what has queued up (MappingNotify after a
// keymap change, for instance), so that the queue cannot grow over a long run.
void SyncAndDiscard(Display* display);

}  // namespace platform::x11
