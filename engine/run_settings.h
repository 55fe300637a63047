#pragma once

#include "vision/matcher.h"

namespace engine {

// What the runner or the dialog chose for every run of a job.
struct RunSettings {
    vision::MatcherKind matcher = vision::MatcherKind::kFast;
};

}  // namespace engine
