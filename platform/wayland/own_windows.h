// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/wayland/sway_ipc.h"

namespace platform::wayland {

// Takes the windows of process pid into sway's scratchpad and back where they were: minimising
// does nothing under sway.
class ScratchpadHider {
  public:
    ScratchpadHider(SwayIpc& ipc, std::int32_t pid) : ipc_(ipc), pid_(pid) {}
    // True when at least one shown window went into the scratchpad.
    bool Hide();
    // Puts back the windows Hide took away that are still there and still hidden: a floating
    // one at its old place, a tiled one tiled again. True when Hide had taken any.
    bool Restore();

  private:
    std::optional<std::vector<SwayView>> Views();

    SwayIpc& ipc_;
    std::int32_t pid_;
    std::vector<SwayView> hidden_;
};

}  // namespace platform::wayland
