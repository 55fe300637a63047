// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/run_context.h"

#include <algorithm>

#include "input/send_mouse.h"

namespace engine {

int ArgumentError(RunContext& run, const CommandLine& line) {
    run.error = "STRING's ARG ERROR : " + line.text;
    return kFailed;
}

int MovePointer(RunContext& run, std::int64_t x, std::int64_t y) {
    const platform::Size screen = run.desktop.ScreenSize();
    x = std::clamp<std::int64_t>(x, 0, std::max(screen.width, 0));
    y = std::clamp<std::int64_t>(y, 0, std::max(screen.height, 0));
    return input::MoveTo(run.desktop, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                         screen);
}

int MoveAndClick(RunContext& run, std::int64_t x, std::int64_t y) {
    const int moved = MovePointer(run, x, y);
    if (moved != 0) return moved;
    return input::SendMouse(run.desktop, input::MouseAction::kClick, 0, 0);
}

}  // namespace engine
