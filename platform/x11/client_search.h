// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <span>
#include <vector>

namespace platform::x11 {

struct Client {
    xcb_window_t window = XCB_NONE;  // XCB_NONE where no window carries WM_STATE
    bool iconic = false;             // its WM_STATE says IconicState
};

// The client of each of the top-level windows: the window that carries WM_STATE, the
// top-level window itself or a descendant, the first in stacking order on the shallowest
// level, at most three levels down. The searches run level by
// level all at once, so that the round trips do not grow with the number of windows: one a
// level, two where a level must be asked for its properties before its children.
//
// Below the top-level windows, the window manager's own windows (named by wm_check, the check
// window from the root's _NET_SUPPORTING_WM_CHECK; 0 for none) are not asked for WM_STATE.
std::vector<Client> FindClients(xcb_connection_t* connection, Atom wm_state,
                                Atom net_supporting_wm_check, Window wm_check,
                                std::span<const Window> windows);

}  // namespace platform::x11
