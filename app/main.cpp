#include <wx/app.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/ravelkin_app.h"
#include "engine/stop_request.h"
#include "platform/native_desktop.h"

namespace {

extern "C" void OnStopSignal(int) {
    stop_request::Raise();
}

// SIGINT and SIGTERM stop the run before its next line; no SA_RESTART, so that a sleeping
// wait wakes up at once.
void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        // The dialog keeps the default: a signal ends the program, as for any window.
        InstallStopSignals();
        std::vector<std::string> args(argv + 1, argv + argc);
        return RunCommandLine(args, std::cout, std::cerr, platform::OpenNativeDesktop);
    }
    wxEntry(argc, argv);
    // wxEntry reports failure also when the dialog ran and start-up asked to end afterwards.
    return MainDialogRan() ? kExitCompleted : kExitNoDesktop;
}
