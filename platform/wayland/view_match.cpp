// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/view_match.h"

namespace platform::wayland {

std::optional<std::size_t> MatchView(std::string_view title, std::string_view app_id,
                                     bool activated, const std::vector<SwayView>& views,
                                     const std::set<std::int64_t>& used) {
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const SwayView& view = views[i];
        if (view.title != title || view.app_id != app_id || used.count(view.id) != 0) continue;
        if (view.focused == activated) return i;
        if (!first) first = i;
    }
    return first;
}

}  // namespace platform::wayland
