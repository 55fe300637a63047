#include <wx/app.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/capture_overlay.h"
#include "app/command_line.h"
#include "app/ravelkin_app.h"
#include "platform/allocator_tuning.h"
#include "platform/console.h"
#include "platform/display_scaling.h"
#include "platform/native_desktop.h"

int main(int argc, char** argv) {
    // Before any window exists: pictures are found and clicked in the same pixels.
    platform::UseScreenPixels();
    platform::KeepLargeBlocksInHeap();
    // RAVELKIN_MATCHER sets the matcher for the dialog too; the runner's --matcher overrides it.
    const engine::RunSettings settings = app::SettingsFromEnvironment(std::cerr);
    if (argc > 1) {
        // The dialog keeps the default: a signal ends the program, as for any window.
        platform::InstallStopSignals();
        platform::UseUtf8Console();
        const std::vector<std::string> args(argv + 1, argv + argc);
        return static_cast<int>(app::RunCommandLine(args, std::cout, std::cerr,
                                                    platform::OpenNativeDesktop, settings,
                                                    app::SelectAreaAlone));
    }
    platform::LeaveOwnConsole();
    bool dialog_ran = false;
    // The framework takes the application object over and deletes it when it ends.
    wxApp::SetInstance(new CRavelkinApp(settings, platform::OpenNativeDesktop, &dialog_ran));
    wxEntry(argc, argv);
    // wxEntry reports failure also when the dialog ran and start-up asked to end afterwards.
    return static_cast<int>(dialog_ran ? app::ExitStatus::kCompleted : app::ExitStatus::kNoDesktop);
}
