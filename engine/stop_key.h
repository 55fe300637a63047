// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/desktop.h"

namespace engine {

// True when the run should stop before its next line: the right CTRL key is held down, or a
// stop was requested (a signal, the console).
bool StopWanted(platform::Desktop& desktop);

// Has the desktop watch the stop key for a job's length, on every way out.
class StopKeyWatch {
  public:
    explicit StopKeyWatch(platform::Desktop& desktop) : desktop_(desktop) {
        desktop_.WatchStopKey(true);
    }
    ~StopKeyWatch() { desktop_.WatchStopKey(false); }
    StopKeyWatch(const StopKeyWatch&) = delete;
    StopKeyWatch& operator=(const StopKeyWatch&) = delete;

  private:
    platform::Desktop& desktop_;
};

}  // namespace engine
