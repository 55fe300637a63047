// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace platform::wayland::gnome {

// Where the portal's restore token is kept between runs: ravelkin/gnome-remote-desktop.token
// under $XDG_CONFIG_HOME, or under ~/.config where it is unset; empty when neither is known.
std::string RestoreTokenPath();

// The token kept at path; empty when there is none or it cannot be read.
std::string ReadRestoreToken(const std::string& path);
// Keeps the token at path, readable by the user alone, making its folder; an empty token
// removes the file. False where it could not be written.
bool WriteRestoreToken(const std::string& path, const std::string& token);

}  // namespace platform::wayland::gnome
