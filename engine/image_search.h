// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "engine/run_context.h"
#include "platform/geometry.h"
#include "vision/find_image.h"

namespace engine {

// Finds the template file inside the area with the run's matcher, and tells the run's
// observer what the search saw. With a threshold, the best placement is looked for below it
// only when an observer will show it.
vision::ImageSearch SearchImage(RunContext& run, const platform::Rect& area,
                                const std::string& path,
                                std::optional<double> threshold = std::nullopt);

}  // namespace engine
