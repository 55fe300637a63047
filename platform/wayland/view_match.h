// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "platform/wayland/sway_ipc.h"

namespace platform::wayland {

// Which of sway's views is the window that foreign-toplevel reports with this title and
// app_id: one whose title and app_id are both equal. Views whose id is in used (matched to
// another window already) are never chosen. Among the rest, an active window takes the focused
// view and an inactive one an unfocused view, where there is one; after that the first in
// tree order. Nothing when no unused view fits: a wrong rectangle is worse than none.
std::optional<std::size_t> MatchView(std::string_view title, std::string_view app_id,
                                     bool activated, const std::vector<SwayView>& views,
                                     const std::set<std::int64_t>& used = {});

}  // namespace platform::wayland
