// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/check_context.h"
#include "platform/desktop.h"

namespace engine {

// Checks a script as a run would read it, through each command's own check, without acting
// on the desktop: commands the run would stop at, arguments, templates, key names, typed text
// and keys left down. With a desktop, also search areas that miss its screen. Findings in line
// order; nothing when the file cannot be read.
std::optional<std::vector<Finding>> CheckScript(const std::string& file_name,
                                                platform::Desktop* desktop);

}  // namespace engine
