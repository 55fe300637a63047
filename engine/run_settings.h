#pragma once

#include "vision/matcher/matcher.h"

namespace engine {

class RunObserver;

// What the runner or the dialog chose for every run of a job.
struct RunSettings {
    vision::MatcherKind matcher = vision::MatcherKind::kFast;
    RunObserver* observer = nullptr;  // told what every line does, for a report
};

}  // namespace engine
