// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/own_windows.h"

#include <algorithm>
#include <string>

namespace platform::wayland {

// The views of our own process.
std::optional<std::vector<SwayView>> ScratchpadHider::Views() {
    auto views = ipc_.Windows();
    if (views) std::erase_if(*views, [&](const SwayView& view) { return view.pid != pid_; });
    return views;
}

bool ScratchpadHider::Hide() {
    hidden_.clear();
    const auto views = Views();
    if (!views) return false;
    for (const SwayView& view : *views) {
        if (view.in_scratchpad) continue;
        if (ipc_.Command("[con_id=" + std::to_string(view.id) + "] move scratchpad")) {
            hidden_.push_back(view);
        }
    }
    return !hidden_.empty();
}

bool ScratchpadHider::Restore() {
    if (hidden_.empty()) return false;
    const std::vector<SwayView> was = std::move(hidden_);
    hidden_.clear();
    const auto now = Views();
    if (!now) return true;
    for (const SwayView& view : was) {
        // One the user has shown again, or that has closed, is left as it is: "scratchpad
        // show" would hide a shown one again.
        const bool still_hidden = std::any_of(now->begin(), now->end(), [&](const SwayView& v) {
            return v.id == view.id && v.in_scratchpad;
        });
        if (!still_hidden) continue;
        const std::string which = "[con_id=" + std::to_string(view.id) + "] ";
        ipc_.Command(which + "scratchpad show");
        // The scratchpad keeps its windows floating, and may centre one.
        ipc_.Command(which + (view.floating
                                  ? "move absolute position " + std::to_string(view.rect.left) +
                                        " " + std::to_string(view.rect.top)
                                  : std::string("floating disable")));
    }
    return true;
}

}  // namespace platform::wayland
