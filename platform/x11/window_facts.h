// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/geometry.h"
#include "platform/x11/xcb_replies.h"

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

// What a lookup asks about one top-level window, read from its client: the window that
// carries WM_STATE, the top-level window itself or a descendant (the top-level window itself
// when none does).
struct WindowFacts {
    PropertyBytes net_wm_name;  // asked for as UTF8_STRING
    PropertyBytes wm_name;      // in whatever type the client chose
    bool minimised = false;     // WM_STATE says IconicState, or _NET_WM_STATE holds HIDDEN
    std::optional<Rect> rect;   // the outer rectangle; nothing when the window has gone
};

// The children of the root window and the window manager's check window, in one round trip.
struct TopLevelWindows {
    std::vector<Window> windows;  // bottom of the stacking order first
    Window wm_check = 0;          // as the root's _NET_SUPPORTING_WM_CHECK names it; 0 for none
};
TopLevelWindows ReadTopLevelWindows(xcb_connection_t* connection, const WindowAtoms& atoms,
                                    Window root);

// The facts of children of the root window, each under its handle. The requests of each step
// go out together and their replies are awaited together, so the round trips do not grow with
// the number of windows: those of the search for the clients (see FindClients, which wm_check
// is for), then one for every window's state and rectangle and its client's properties. Windows
// that vanish meanwhile read as gone (no properties, no rectangle); a lost connection reads as
// every window gone.
std::unordered_map<Window, WindowFacts> ReadWindowFacts(xcb_connection_t* connection,
                                                        const WindowAtoms& atoms,
                                                        std::span<const Window> windows,
                                                        Window wm_check);

// Whether each window is viewable (mapped, with every ancestor); nothing for one that has gone.
// In one round trip.
std::unordered_map<Window, std::optional<bool>> ReadViewable(xcb_connection_t* connection,
                                                             std::span<const Window> windows);

// The outer rectangle of a child of the root window, border included, in root coordinates
// (as GetWindowRect gives it); nothing when the window has gone.
std::optional<Rect> OuterRect(xcb_connection_t* connection, Window window);

}  // namespace platform::x11
