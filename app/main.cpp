#include <wx/app.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/ravelkin_app.h"
#include "engine/stop_request.h"
#include "platform/native_desktop.h"
#include "vision/allocator_tuning.h"
#include "vision/matcher.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

#ifdef _WIN32
// Ctrl+C, Ctrl+Break and closing the console stop the run before its next line.
BOOL WINAPI OnConsoleStop(DWORD) {
    stop_request::Raise();
    return TRUE;
}

void InstallStopSignals() {
    SetConsoleCtrlHandler(&OnConsoleStop, TRUE);
}

// The log is UTF-8, Japanese included; the console shows it as such.
void UseUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

// The program is built for the console, for --run. Started from Explorer for the dialog, it
// lets go of the console window that was made for it alone.
void LeaveOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}
#else
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

void UseUtf8Console() {}
void LeaveOwnConsole() {}
#endif

// RAVELKIN_MATCHER=opencv makes every search use OpenCV's matchTemplate, in the dialog too;
// the runner's --matcher overrides it.
void ApplyMatcherFromEnvironment() {
    const char* name = std::getenv("RAVELKIN_MATCHER");
    if (name == nullptr) return;
    vision::MatcherKind kind = vision::MatcherKind::kFast;
    if (vision::ParseMatcherKind(name, &kind)) {
        vision::SetMatcher(kind);
    } else {
        std::cerr << "ravelkin: ignoring RAVELKIN_MATCHER=" << name << " (fast or opencv)\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    KeepLargeBlocksInHeap();
    ApplyMatcherFromEnvironment();
    if (argc > 1) {
        // The dialog keeps the default: a signal ends the program, as for any window.
        InstallStopSignals();
        UseUtf8Console();
        std::vector<std::string> args(argv + 1, argv + argc);
        return RunCommandLine(args, std::cout, std::cerr, platform::OpenNativeDesktop);
    }
    LeaveOwnConsole();
    wxEntry(argc, argv);
    // wxEntry reports failure also when the dialog ran and start-up asked to end afterwards.
    return MainDialogRan() ? kExitCompleted : kExitNoDesktop;
}
