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

// Asks the user interface for a view from the command-line side, which never loads the
// toolkit: on Linux the user interface, a program of its own (libexec/ravelkin/ravelkin),
// takes the place of this process; on Windows, one program, RunGui is called in it. Returns
// the exit status.
int StartGui(const std::string& view, const std::vector<std::string>& args = {});

}  // namespace app
