#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/runner/command_line.h"
#include "platform/desktop.h"

namespace app {

// What --check finds on one line of a script.
struct Finding {
    int line = 0;
    bool error = false;  // an error stops the run there; a warning is worth a look
    std::string text;
};

// Checks a script as a run would read it, without touching the desktop: commands the run would
// stop at, arguments, templates, key names, typed text and keys left down. With a desktop, also
// search areas that miss its screen. Nothing when the file cannot be read.
std::optional<std::vector<Finding>> CheckScript(const std::string& file_name,
                                                platform::Desktop* desktop);

// ravelkin --check FILE...: one line per finding, "file:line: error: text" or
// "file:line: warning: text", as compilers write them. kCompleted without errors, kFailed with
// errors, kNotLoaded when a file cannot be read.
ExitStatus CheckScripts(const std::vector<std::string>& files, platform::Desktop* desktop,
                        std::ostream& out, std::ostream& err);

}  // namespace app
