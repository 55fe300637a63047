// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/check.h"

#include <ostream>

#include "engine/check_script.h"

namespace app {

ExitStatus CheckScripts(const std::vector<std::string>& files, platform::Desktop* desktop,
                        std::ostream& out, std::ostream& err) {
    ExitStatus status = ExitStatus::kCompleted;
    for (const auto& file : files) {
        const auto findings = engine::CheckScript(file, desktop);
        if (!findings) {
            err << "ravelkin: cannot read script file '" << file << "'\n";
            status = ExitStatus::kNotLoaded;
            continue;
        }
        for (const engine::Finding& f : *findings) {
            out << file << ":" << f.line << ": " << (f.error ? "error: " : "warning: ") << f.text
                << "\n";
            if (f.error && status == ExitStatus::kCompleted) status = ExitStatus::kFailed;
        }
    }
    return status;
}

}  // namespace app
