// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/runner/script_run.h"
#include "platform/desktop.h"

namespace app {

// How a job (the files of one Start, or of one command line) ended.
enum class JobEnd {
    kSucceeded,  // every run completed
    kNotLoaded,  // a file could not be loaded
    kCancelled,  // a run was stopped by the stop key
    kFailed,     // a command failed
    kStopped,    // the stop key was down between two passes
};

// Runs the files in order, as one pass, ending at the first run that does not complete; with
// repeat, passes follow each other until one does. Between passes the stop key is polled, so
// that files without commands (whose runs never poll it) can be stopped too. A pass that runs
// no file ends the repetition.
JobEnd RunJob(const std::vector<std::string>& files, bool repeat, platform::Desktop& desktop,
              const std::function<RunOutcome(const std::string&)>& run_one);

}  // namespace app
