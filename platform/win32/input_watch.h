// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/input_watch.h"

namespace platform::win32 {

// Watches the session's mouse and keyboard through low-level hooks (WH_MOUSE_LL,
// WH_KEYBOARD_LL) set on a thread of its own, which runs the message loop that Windows calls
// them from. Each event is queued as it comes, placed where the hook says the pointer is, so a
// click is placed where it happened whenever the reader gets to it. Injected input (SendInput,
// keybd_event) is watched too, so another program can drive what is recorded. Nothing, with
// the reason in error, when a hook cannot be set.
std::unique_ptr<InputWatch> WatchWin32Input(std::string& error);

}  // namespace platform::win32
