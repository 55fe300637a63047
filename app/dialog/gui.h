// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// The user interface, apart from the command-line runner: everything that shows a window goes
// through one entry point, asked for a view by name.
namespace app {

struct GuiRequest {
    std::string program;            // the program the user started, in UTF-8; names the windows
    std::string view;               // what to show: "dialog", "command-line"
    std::vector<std::string> args;  // the view's own arguments
};

// Shows the view; returns the program's exit status. In the library with the toolkit.
int RunGui(const GuiRequest& request);

}  // namespace app
