// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "app/runner/recorder.h"
#include "platform/desktop.h"

namespace app {

struct RecordResult {
    bool written = false;  // the script file was written
    std::string error;     // why it was not (or why recording stopped early)
    std::string summary;   // lines written, templates saved, what was not recorded
};

// Records what the user does until the right CTRL key goes down or a stop is requested
// (SIGINT), then writes the script to path, whole or not at all: through a file beside it
// that replaces it at the end. An existing script is replaced only when replace says yes,
// asked before anything is recorded. When the script cannot be written, the templates saved
// for it are removed too. started is told once the desktop is being watched.
RecordResult RecordScript(platform::Desktop& desktop, const std::string& path,
                          RecordSettings settings,
                          const std::function<bool(const std::string& path)>& replace,
                          const std::function<void()>& started = {});

}  // namespace app
