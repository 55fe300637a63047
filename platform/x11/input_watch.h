// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/input_watch.h"

namespace platform::x11 {

// Watches the X server's input through XInput 2 raw events on the root window, on a
// connection and a thread of its own: the thread reads each event as it comes and asks the
// pointer's place at once, so a click is placed where it happened however long the recording
// takes over what came before it. Raw events include those of XTest, so another program can
// drive what is recorded.
std::unique_ptr<InputWatch> WatchX11Input(const std::string& display_name, std::string& error);

}  // namespace platform::x11
