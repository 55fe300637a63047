#include "base/trace.h"
#include "engine/event_maker.h"
#include "engine/stop_key.h"

bool CEvent_Maker::DesktopLost() {
    const auto why = m_desktop.Lost();
    if (why) m_error = *why;
    return why.has_value();
}

int CEvent_Maker::RunList() {
    for (const auto& line : m_commands) {
        // The stop key is polled before every line, comments included, never after the last.
        if (engine::StopWanted(m_desktop)) return 1;
        if (DesktopLost()) return -1;
        trace::Printf("COMLIST: [%s]\n", line.c_str());
        const int result = Execute(line);
        // A command on a lost desktop did nothing, whatever it returned: CHK_NOWIND would
        // find no window and pass.
        if (DesktopLost()) return -1;
        if (result < 0) return result;
    }
    // A run without lines on a lost desktop fails too, so that a repetition cannot spin.
    return m_commands.empty() && DesktopLost() ? -1 : 0;
}
