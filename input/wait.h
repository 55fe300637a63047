// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"

namespace input {

// Blocks for ms milliseconds and returns 0. A negative count returns at once: as the unsigned
// count of a sleep it would be a wait of weeks.
int Wait(platform::Desktop& desktop, int ms);

}  // namespace input
