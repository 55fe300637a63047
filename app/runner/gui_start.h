// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace app {

// Asks the user interface for a view ("dialog", "command-line") from the command-line side,
// which never loads the toolkit: on Linux the user interface, a program of its own
// (libexec/ravelkin/ravelkin), takes the place of this process; on Windows, one program, the
// dialog's entry point is called in it. Returns the exit status.
int StartGui(const std::string& view, const std::vector<std::string>& args = {});

}  // namespace app
