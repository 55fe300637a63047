#include "base/trace.h"
#include "engine/command_table.h"
#include "engine/event_maker.h"
#include "engine/run_observer.h"
#include "windows/find_window.h"

namespace engine {

ClickPoint WindowClickPoint(const platform::Rect& rect) {
    return {(std::int64_t{rect.left} + rect.right) / 2, std::int64_t{rect.top} + 2};
}

int RunWindowCommand(CEvent_Maker& engine, Command command, const std::string&,
                     std::string_view title) {
    // The title text is everything after the keyword and its space, spaces included.
    const std::string text(title);
    const auto found = windows::FindWindowByTitle(engine.desktop(), text);
    if (engine.settings().observer) engine.settings().observer->WindowSearched(text, found);
    const std::string window = "ウィンドウ[" + text + "]";

    if (command == Command::kChkWind || command == Command::kChkNoWind) {
        const bool want = command == Command::kChkWind;
        engine.m_log += window + (want ? "を検索\n" : "が無いことを検索\n");
        if (found.has_value() == want) return 0;
        engine.m_error = (found ? "Find Window " : "Can't find Window ") + text;
        return -1;
    }

    if (!found) {
        engine.m_error = "Can't find Window " + text;
        return -1;
    }
    const auto [x, y] = WindowClickPoint(found->rect);
    if (command == Command::kWindClk) {
        trace::Printf("%lld, %lldをクリックします\n", static_cast<long long>(x),
                      static_cast<long long>(y));
        engine.m_log += window + "を検索し、クリック\n";
        return MoveAndClick(engine, x, y);
    }
    trace::Printf("%lld, %lldに移動します\n", static_cast<long long>(x), static_cast<long long>(y));
    engine.m_log += window + "を検索し、移動\n";
    // A kept quirk: a successful WIND returns 1, where every other move returns 0; a failed
    // move stops the run, as for every other move.
    const int moved = MovePointer(engine, x, y);
    return moved < 0 ? moved : 1;
}

}  // namespace engine
