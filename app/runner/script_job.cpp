// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/script_job.h"

#include "engine/stop_key.h"

namespace app {
namespace {

JobEnd EndOf(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::kNotLoaded:
            return JobEnd::kNotLoaded;
        case RunOutcome::kCancelled:
            return JobEnd::kCancelled;
        case RunOutcome::kFailed:
            return JobEnd::kFailed;
        case RunOutcome::kCompleted:
            break;
    }
    return JobEnd::kSucceeded;
}

}  // namespace

JobEnd RunJob(const std::vector<std::string>& files, bool repeat, platform::Desktop& desktop,
              const std::function<RunOutcome(const std::string&)>& run_one) {
    const engine::StopKeyWatch watch(desktop);
    for (bool first_pass = true;; first_pass = false) {
        if (!first_pass && engine::StopWanted(desktop)) return JobEnd::kStopped;
        for (const auto& file : files) {
            const RunOutcome outcome = run_one(file);
            if (outcome != RunOutcome::kCompleted) return EndOf(outcome);
        }
        if (!repeat || files.empty()) return JobEnd::kSucceeded;
    }
}

}  // namespace app
