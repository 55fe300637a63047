#include "engine/event_maker.h"
#include "engine/stop_request.h"
#include "engine/trace.h"
#include "platform/desktop.h"
#include "platform/virtual_keys.h"

int CEvent_Maker::RunList() {
    for (const auto& line : m_commands) {
        // The stop key is polled before every line, comments included, never after the last.
        if (platform::Active().IsKeyDown(platform::vk::kRControl) || stop_request::IsRaised()) {
            return 1;
        }
        trace::Printf("COMLIST: [%s]\n", line.c_str());
        const int result = Execute(line);
        if (result < 0) return result;
    }
    return 0;
}
