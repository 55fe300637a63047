#include "base/trace.h"
#include "engine/event_maker.h"
#include "engine/run_observer.h"
#include "engine/stop_key.h"

bool CEvent_Maker::DesktopLost() {
    const auto why = m_desktop.Lost();
    if (why) m_error = *why;
    return why.has_value();
}

int CEvent_Maker::RunList() {
    engine::RunObserver* observer = m_settings.observer;
    for (std::size_t i = 0; i < m_commands.size(); ++i) {
        const std::string& line = m_commands[i];
        // The stop key is polled before every line, comments included, never after the last.
        if (engine::StopWanted(m_desktop)) return engine::kCancelled;
        if (DesktopLost()) return engine::kFailed;
        trace::Printf("COMLIST: [%s]\n", line.c_str());
        const std::size_t logged = m_log.size();
        if (observer) observer->LineStarted(i, line);
        int result = Execute(line);
        // A command on a lost desktop did nothing, whatever it returned: CHK_NOWIND would
        // find no window and pass.
        if (DesktopLost()) result = engine::kFailed;
        if (observer) {
            observer->LineFinished(i, result, std::string_view(m_log).substr(logged), m_error);
        }
        if (result < 0) return result;
    }
    // A run without lines on a lost desktop fails too, so that a repetition cannot spin.
    if (m_commands.empty() && DesktopLost()) return engine::kFailed;
    return engine::kCompleted;
}
