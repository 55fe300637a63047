// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/trace.h"
#include "engine/commands.h"
#include "engine/run_observer.h"
#include "windows/find_window.h"

namespace engine {

ClickPoint WindowClickPoint(const platform::Rect& rect) {
    return {(std::int64_t{rect.left} + rect.right) / 2, std::int64_t{rect.top} + 2};
}

int RunWindowCommand(RunContext& run, Command command, const CommandLine& line) {
    // The title text is everything after the keyword and its space, spaces included.
    const std::string text(line.args);
    // No list, not an empty one: CHK_NOWIND must not pass for want of windows.
    if (const std::string why = run.desktop.Can().no_windows; !why.empty()) {
        run.error = "Cannot look for Window " + text + ": " + why;
        return kFailed;
    }
    const auto found = windows::FindWindowByTitle(run.desktop, text);
    if (run.settings.observer) run.settings.observer->WindowSearched(text, found);
    const std::string window = "ウィンドウ[" + text + "]";

    if (command == Command::kChkWind || command == Command::kChkNoWind) {
        const bool want = command == Command::kChkWind;
        run.log += window + (want ? "を検索\n" : "が無いことを検索\n");
        if (found.has_value() == want) return kDone;
        run.error = (found ? "Find Window " : "Can't find Window ") + text;
        return kFailed;
    }

    if (!found) {
        run.error = "Can't find Window " + text;
        return kFailed;
    }
    if (!found->located) {
        // Never a guessed point: the desktop tells the title but not the place.
        run.error = "Found Window " + text + ", but this desktop does not tell where it is";
        return kFailed;
    }
    const auto [x, y] = WindowClickPoint(found->rect);
    if (command == Command::kWindClk) {
        trace::Printf("%lld, %lldをクリックします\n", static_cast<long long>(x),
                      static_cast<long long>(y));
        run.log += window + "を検索し、クリック\n";
        return MoveAndClick(run, x, y);
    }
    trace::Printf("%lld, %lldに移動します\n", static_cast<long long>(x), static_cast<long long>(y));
    run.log += window + "を検索し、移動\n";
    // A kept quirk: a successful WIND returns 1, where every other move returns 0; a failed
    // move stops the run, as for every other move.
    const int moved = MovePointer(run, x, y);
    return moved < 0 ? moved : kMovedToWindow;
}

void CheckWindowCommand(CheckContext& check, Command command, const CommandLine& line) {
    if (line.args.empty()) {
        check.Warning(std::string(line.keyword) + " without a title matches every window");
    }
    if (check.desktop() && !check.desktop()->Can().no_windows.empty()) {
        check.Error(std::string(line.keyword) +
                    " cannot look for windows here: " + check.desktop()->Can().no_windows);
        return;
    }
    const bool needs_place = command == Command::kWind || command == Command::kWindClk;
    if (needs_place && check.desktop() && !check.desktop()->Can().window_rects) {
        check.Error(std::string(line.keyword) +
                    " needs a window's place, which this desktop does not tell");
    }
}

}  // namespace engine
