// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "vision/matcher/matcher.h"

namespace engine {

class RunObserver;

// What the runner or the dialog chose for every run of a job.
struct RunSettings {
    // Shared by the copies, so that every run of the job reuses one workspace.
    std::shared_ptr<vision::Matcher> matcher = std::make_shared<vision::Matcher>();
    RunObserver* observer = nullptr;  // told what every line does, for a report
};

}  // namespace engine
