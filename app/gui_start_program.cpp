#include <iostream>

#include "app/command_line.h"
#include "app/gui.h"
#include "platform/process.h"

namespace app {

int StartGui(const std::string& view, const std::vector<std::string>& args) {
    const std::filesystem::path self = platform::OwnExecutable();
    // Where the build put the user interface relative to this program, in the build tree as
    // installed.
    const std::filesystem::path gui = self.parent_path() / RAVELKIN_GUI_FROM_PROGRAM;
    std::vector<std::string> argv{self.string(), view};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string error = platform::ReplaceProcess(gui, argv);
    std::cerr << "ravelkin: cannot start the user interface: " << error << "\n";
    return static_cast<int>(ExitStatus::kNoDesktop);
}

}  // namespace app
