// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A request to stop the run before its next line, as the stop key does; raised from a signal
// or console handler (lock-free, async-signal-safe) or from another part of the program.
namespace stop_request {

void Raise();
void Clear();
bool IsRaised();

}  // namespace stop_request
