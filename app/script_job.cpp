#include "app/script_job.h"

#include "engine/stop_request.h"

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

JobEnd RunJob(const std::vector<std::string>& files, bool repeat,
              const std::function<RunOutcome(const std::string&)>& runOne) {
    for (bool firstPass = true;; firstPass = false) {
        if (!firstPass && stop_request::StopWanted()) return JobEnd::kStopped;
        for (const auto& file : files) {
            const RunOutcome outcome = runOne(file);
            if (outcome != RunOutcome::kCompleted) return EndOf(outcome);
        }
        if (!repeat || files.empty()) return JobEnd::kSucceeded;
    }
}
