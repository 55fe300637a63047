// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

namespace platform {

// True in a Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland): the program
// then reaches the desktop through XWayland, and only X programs' windows with it.
bool InWaylandSession();

// The per-user folder for what the program remembers between runs: $XDG_CONFIG_HOME/ravelkin,
// else ~/.config/ravelkin (%APPDATA%\Ravelkin on Windows); empty when there is none.
std::filesystem::path UserConfigDir();

}  // namespace platform
