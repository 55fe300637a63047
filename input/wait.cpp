// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/wait.h"

namespace input {

int Wait(platform::Desktop& desktop, int ms) {
    if (ms > 0) desktop.Pause(static_cast<std::uint32_t>(ms));
    return 0;
}

}  // namespace input
