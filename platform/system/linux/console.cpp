// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>

#include "base/stop_request.h"
#include "platform/console.h"

namespace platform {
namespace {

extern "C" void OnStopSignal(int) {
    stop_request::Raise();
}

}  // namespace

void InstallStopSignals() {
    // No SA_RESTART, so that a sleeping wait wakes up at once.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void UseUtf8Console() {}
void LeaveOwnConsole() {}

}  // namespace platform
