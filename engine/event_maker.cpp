// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/event_maker.h"

#include "base/trace.h"
#include "engine/command_table.h"
#include "engine/image_search.h"
#include "engine/run_observer.h"
#include "engine/stop_key.h"
#include "input/send_keys.h"
#include "input/send_mouse.h"
#include "input/wait.h"
#include "vision/capture_desktop.h"

CEvent_Maker::CEvent_Maker(platform::Desktop& desktop, engine::RunSettings settings)
    : m_desktop(desktop), m_settings(std::move(settings)) {}

engine::RunContext CEvent_Maker::Context() {
    return {m_desktop, m_settings, m_log, m_error, m_typeSpaces};
}

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

int CEvent_Maker::Execute(const std::string& line) {
    const engine::SplitLine split = engine::SplitAtFirstSpace(line);
    const engine::CommandEntry* entry = engine::MatchKeyword(split.keyword);
    // A keyword that matches nothing fails without a message.
    if (!entry) return engine::kFailed;
    engine::RunContext run = Context();
    return entry->run(run, entry->command, {line, split.keyword, split.args});
}

int CEvent_Maker::SendMouse(int code, std::uint32_t x, std::uint32_t y) {
    // A code outside 4 to 8 names no action, which input::SendMouse refuses.
    return input::SendMouse(m_desktop, static_cast<input::MouseAction>(code), x, y);
}

int CEvent_Maker::SendKeys(int mode, std::string_view text) {
    if (mode == 0) return input::TypeText(m_desktop, text, m_typeSpaces);
    if (mode < 1 || mode > 3) return engine::kDone;
    const engine::KeyEntry* key = engine::FindKeyName(text);
    if (!key) return engine::kFailed;
    constexpr input::KeyAction kActions[] = {input::KeyAction::kTap, input::KeyAction::kPress,
                                             input::KeyAction::kRelease};
    input::SendKey(m_desktop, key->vk, kActions[mode - 1]);
    return engine::kKeySent;
}

int CEvent_Maker::Wait(int ms) {
    return input::Wait(m_desktop, ms);
}

bool CEvent_Maker::CaptureDesktop(cv::Mat* picture, const platform::Rect& area) {
    return vision::CaptureDesktop(m_desktop, picture, area);
}

bool CEvent_Maker::FindImage(int* x, int* y, double* score, const platform::Rect& area,
                             const char* path) {
    engine::RunContext run = Context();
    const vision::ImageSearch search = engine::SearchImage(run, area, path);
    if (!search.searched()) return false;
    *x = search.centre.x;
    *y = search.centre.y;
    *score = search.score;
    return true;
}
