// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/spy.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

#include "engine/commands.h"
#include "engine/stop_key.h"
#include "windows/find_window.h"

namespace app {

std::string SpyLine(platform::Desktop& desktop) {
    if (!desktop.Can().pointer_position) {
        return "this desktop does not tell where the pointer is";
    }
    const platform::Point at = desktop.PointerPosition();
    std::string line = "pointer " + std::to_string(at.x) + "," + std::to_string(at.y);
    platform::Bitmap pixel;
    if (desktop.CopyScreen(at.x, at.y, 1, 1, pixel)) {
        // The pixels may be lent by the backend: read them through the bitmap's view.
        const std::uint8_t* bgr = std::as_const(pixel).TopRow();
        char colour[16];
        std::snprintf(colour, sizeof colour, " #%02x%02x%02x", bgr[2], bgr[1], bgr[0]);
        line += colour;
    }
    // The top-most shown window whose rectangle holds the pointer.
    std::optional<platform::WindowHandle> under;
    platform::Rect rect;
    desktop.ForEachWindow([&](platform::WindowHandle window) {
        const auto r = desktop.WindowRect(window);
        if (r && desktop.IsWindowVisible(window) && !desktop.IsWindowMinimised(window) &&
            at.x >= r->left && at.x < r->right && at.y >= r->top && at.y < r->bottom) {
            under = window;
            rect = *r;
        }
        return !under;
    });
    if (!under) return line + "  no window";
    const engine::ClickPoint click = engine::WindowClickPoint(rect);
    return line + "  window \"" + windows::MatchedTitle(desktop, *under) + "\" " +
           std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "  WIND_CLK clicks " +
           std::to_string(click.x) + "," + std::to_string(click.y);
}

void Spy(platform::Desktop& desktop, std::ostream& out) {
    std::size_t shown = 0;
    const engine::StopKeyWatch watch(desktop);
    while (!engine::StopWanted(desktop)) {
        const std::string line = SpyLine(desktop);
        // Spaces cover what a longer line before left.
        out << '\r' << line << std::string(shown > line.size() ? shown - line.size() : 0, ' ')
            << std::flush;
        shown = line.size();
        desktop.Pause(100);
    }
    out << "\n";
}

}  // namespace app
