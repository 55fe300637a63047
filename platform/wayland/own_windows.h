// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/geometry.h"

namespace platform::wayland {

class SwayIpc;

// A window of one process as sway's tree shows it, with what it takes to put it back.
struct OwnView {
    std::int64_t id = 0;
    bool floating = false;
    bool in_scratchpad = false;
    Rect rect{};  // the container's rectangle in layout pixels, title bar included
};

// The views of process pid in a GET_TREE reply; nothing when the reply is not a tree.
std::optional<std::vector<OwnView>> ParseOwnViews(std::string_view tree_json, std::int32_t pid);

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
    std::optional<std::vector<OwnView>> Views();

    SwayIpc& ipc_;
    std::int32_t pid_;
    std::vector<OwnView> hidden_;
};

}  // namespace platform::wayland
