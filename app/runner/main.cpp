// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>
#include <string>
#include <vector>

#include "app/runner/command_line.h"
#include "app/runner/gui_start.h"
#include "platform/allocator_tuning.h"
#include "platform/console.h"
#include "platform/display_scaling.h"
#include "platform/native_desktop.h"

int main(int argc, char** argv) {
    // Before any window exists: pictures are found and clicked in the same pixels.
    platform::UseScreenPixels();
    if (argc <= 1) return app::StartGui("dialog");
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Dragging the area of --capture shows a window: the user interface runs that command.
    const app::CommandLine line = app::ParseCommandLine(args);
    if (line.error.empty() && line.action == app::CommandLine::Action::kCapture && !line.area) {
        return app::StartGui("command-line", args);
    }
    platform::KeepLargeBlocksInHeap();
    // RAVELKIN_MATCHER sets the matcher; --matcher overrides it.
    const engine::RunSettings settings = app::SettingsFromEnvironment(std::cerr);
    // A signal stops the run before its next line; the dialog keeps the default, ending as
    // any window does.
    platform::InstallStopSignals();
    platform::UseUtf8Console();
    return static_cast<int>(
        app::RunCommandLine(args, std::cout, std::cerr, platform::OpenNativeDesktop, settings));
}
