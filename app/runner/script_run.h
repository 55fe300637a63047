// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "engine/run_settings.h"
#include "platform/desktop.h"

namespace app {

// How one run of one script file ended.
enum class RunOutcome { kCompleted, kNotLoaded, kCancelled, kFailed };

struct ScriptRun {
    RunOutcome outcome = RunOutcome::kNotLoaded;
    std::string block;       // the framed log block (LF line ends); empty when not loaded
    std::string error_text;  // the failing command's message, after kFailed
};

// Runs one script file on a fresh engine, as the dialog and the command-line runner both do.
// After a cancelled or failed run, keys and buttons the script left down are released; a
// completed run leaves them, so that a job may hold a key across its files.
ScriptRun RunScriptFile(const std::string& file_name, platform::Desktop& desktop,
                        const engine::RunSettings& settings);

}  // namespace app
