// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "app/runner/command_line.h"
#include "app/runner/gui_start.h"
#include "platform/process.h"

namespace app {

int StartGui(const std::string& view, const std::vector<std::string>& args) {
    const std::filesystem::path self = platform::OwnExecutable();
    // Never a path relative to the working directory, which may hold anything.
    std::string error = "the program's own file is unknown";
    if (!self.empty()) {
        // Where the build put the user interface relative to this program, in the build tree
        // as installed.
        const std::filesystem::path gui = self.parent_path() / RAVELKIN_GUI_FROM_PROGRAM;
        std::vector<std::string> argv{self.string(), view};
        argv.insert(argv.end(), args.begin(), args.end());
        error = platform::ReplaceProcess(gui, argv);
    }
    std::cerr << "ravelkin: cannot start the user interface: " << error << "\n";
    return static_cast<int>(ExitStatus::kNoDesktop);
}

}  // namespace app
