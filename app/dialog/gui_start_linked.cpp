// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialog/gui.h"
#include "app/runner/gui_start.h"
#include "platform/process.h"

namespace app {

int StartGui(const std::string& view, const std::vector<std::string>& args) {
    const std::u8string self = platform::OwnExecutable().u8string();
    return RunGui({std::string(self.begin(), self.end()), view, args});
}

}  // namespace app
