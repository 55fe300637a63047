// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/stop_key.h"

#include "base/stop_request.h"
#include "platform/virtual_keys.h"

namespace engine {

bool StopWanted(platform::Desktop& desktop) {
    return desktop.IsKeyDown(platform::vk::kRControl) || stop_request::IsRaised();
}

}  // namespace engine
