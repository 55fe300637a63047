#include "engine/event_maker.h"
#include "engine/keyword_table.h"
#include "engine/trace.h"
#include "vision/find_window.h"

int CEvent_Maker::RunWindowCommand(int command, std::string_view title) {
    // The title text is everything after the keyword and its space, spaces included.
    const std::string text(title);
    platform::Point left_top;
    platform::Point right_bottom;
    const bool found = FindWindowByTitle(text.c_str(), &left_top, &right_bottom) != 0;
    const std::string window = "ウィンドウ[" + text + "]";

    if (command == kChkWind || command == kChkNoWind) {
        m_log += window + (command == kChkWind ? "を検索\n" : "が無いことを検索\n");
        if (found == (command == kChkWind)) return 0;
        m_error = (found ? "Find Window " : "Can't find Window ") + text;
        return -1;
    }

    if (!found) {
        m_error = "Can't find Window " + text;
        return -1;
    }
    // Middle of the width, truncated toward zero, two pixels below the top edge; in 64 bits,
    // so that extreme rectangles never overflow.
    const std::int64_t x = (std::int64_t{left_top.x} + right_bottom.x) / 2;
    const std::int64_t y = std::int64_t{left_top.y} + 2;
    if (command == kWindClk) {
        trace::Printf("%lld, %lldをクリックします\n", static_cast<long long>(x),
                      static_cast<long long>(y));
        m_log += window + "を検索し、クリック\n";
        return MoveAndClick(x, y);
    }
    trace::Printf("%lld, %lldに移動します\n", static_cast<long long>(x), static_cast<long long>(y));
    m_log += window + "を検索し、移動\n";
    // A failed move stops the run, as for every other move; a successful one gives 1.
    const int moved = MovePointer(x, y);
    return moved < 0 ? moved : 1;
}
