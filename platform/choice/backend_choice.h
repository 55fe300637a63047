// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace platform {

// kWayland: the wlroots compositors; kKWin: KDE Plasma's compositor; kGnome: GNOME, through
// the desktop portals.
enum class Backend { kWayland, kKWin, kGnome, kX11 };

// The backends to try, in order, for the environment: RAVELKIN_BACKEND ("wayland", "kwin",
// "gnome" or "x11") names the only one; otherwise the Wayland ones first where WAYLAND_DISPLAY
// is set, even with DISPLAY set too (wlroots, KWin, then GNOME's portals where
// XDG_CURRENT_DESKTOP names GNOME: another desktop's portal might ask its user, or keep the
// run waiting for an answer), then X11. Empty, with the reason in error, for an unknown
// RAVELKIN_BACKEND.
std::vector<Backend> BackendsToTry(const char* forced, const char* wayland_display,
                                   const char* current_desktop, std::string& error);

}  // namespace platform
