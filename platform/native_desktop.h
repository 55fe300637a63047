// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/desktop.h"

namespace platform {

// Opens the desktop of the platform the program was built for (X11 on Linux). On failure
// returns nullptr and says why in error.
std::unique_ptr<Desktop> OpenNativeDesktop(std::string& error);

}  // namespace platform
