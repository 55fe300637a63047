#include "engine/event_maker.h"

#include "engine/command_table.h"
#include "engine/image_search.h"
#include "input/send_keys.h"
#include "input/send_mouse.h"
#include "input/wait.h"
#include "vision/capture_desktop.h"

CEvent_Maker::CEvent_Maker(platform::Desktop& desktop, engine::RunSettings settings)
    : m_desktop(desktop), m_settings(std::move(settings)) {}

engine::RunContext CEvent_Maker::Context() {
    return {m_desktop, m_settings, m_log, m_error, m_typeSpaces};
}

int CEvent_Maker::SendMouse(int code, std::uint32_t x, std::uint32_t y) {
    if (code < 4 || code > 8) return engine::kFailed;
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
