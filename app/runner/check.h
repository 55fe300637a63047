// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/runner/command_line.h"
#include "platform/desktop.h"

namespace app {

// ravelkin --check FILE...: each file through the commands' own checks (see
// engine::CheckScript), one line per finding, "file:line: error: text" or
// "file:line: warning: text", as compilers write them. kCompleted without errors, kFailed with
// errors, kNotLoaded when a file cannot be read.
ExitStatus CheckScripts(const std::vector<std::string>& files, platform::Desktop* desktop,
                        std::ostream& out, std::ostream& err);

}  // namespace app
