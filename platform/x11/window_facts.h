#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/geometry.h"

namespace platform::x11 {

// The atoms that window lookup reads.
struct WindowAtoms {
    Atom wm_state;
    Atom net_wm_name;
    Atom utf8_string;
    Atom net_wm_state;
    Atom net_wm_state_hidden;
    Atom net_supporting_wm_check;
};

// A property as the server sent it.
struct PropertyBytes {
    bool present = false;  // false when the window has no such property, or has gone
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 0;
    std::string bytes;
};

// What a lookup asks about one top-level window, read from its client: the window that
// carries WM_STATE, the top-level window itself or a descendant (the top-level window itself
// when none does).
struct WindowFacts {
    PropertyBytes net_wm_name;  // asked for as UTF8_STRING
    PropertyBytes wm_name;      // in whatever type the client chose
    bool minimised = false;     // WM_STATE says IconicState, or _NET_WM_STATE holds HIDDEN
    std::optional<Rect> rect;   // the outer rectangle; nothing when the window has gone
};

struct TopLevelWindows {
    std::vector<Window> windows;  // the children of the root, bottom of the stacking order first
    Window wm_check = 0;          // the window manager's check window, as the root names it
};
TopLevelWindows ReadTopLevelWindows(xcb_connection_t* connection, const WindowAtoms& atoms,
                                    Window root);

// The facts of children of the root window, each under its handle. The requests of each step
// go out together and their replies are awaited together, so the round trips do not grow with
// the number of windows: one for the windows themselves, one or two for each level of the
// search for clients (at most three below the window), one for the clients' properties.
// wm_check (from ReadTopLevelWindows; 0 for none) tells the window manager's own windows,
// which are not searched for WM_STATE. Windows that vanish meanwhile read as gone (no
// properties, no rectangle); a lost connection reads as every window gone.
std::unordered_map<Window, WindowFacts> ReadWindowFacts(xcb_connection_t* connection,
                                                        const WindowAtoms& atoms,
                                                        std::span<const Window> windows,
                                                        Window wm_check);

// The outer rectangle of a child of the root window, border included, in root coordinates
// (as GetWindowRect gives it); nothing when the window has gone.
std::optional<Rect> OuterRect(xcb_connection_t* connection, Window window);

}  // namespace platform::x11
