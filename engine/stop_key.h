// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"

namespace engine {

// True when the run should stop before its next line: the right CTRL key is held down, or a
// stop was requested (a signal, the console).
bool StopWanted(platform::Desktop& desktop);

}  // namespace engine
