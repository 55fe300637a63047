// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/display_scaling.h"

namespace platform {

// X11 has no per-program scaling: every client sees the screen's pixels.
void UseScreenPixels() {}

std::string ScreenPixelsReport() {
    return {};
}

}  // namespace platform
