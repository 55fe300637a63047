// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "base/stop_request.h"
#include "platform/console.h"

namespace platform {
namespace {

BOOL WINAPI OnConsoleStop(DWORD) {
    stop_request::Raise();
    return TRUE;
}

}  // namespace

void InstallStopSignals() {
    SetConsoleCtrlHandler(&OnConsoleStop, TRUE);
}

void UseUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

void LeaveOwnConsole() {
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

}  // namespace platform
