#include "engine/event_maker.h"

#include "engine/command_table.h"
#include "engine/run_observer.h"
#include "input/send_keys.h"
#include "input/send_mouse.h"
#include "input/wait.h"
#include "vision/capture_desktop.h"
#include "vision/find_image.h"

CEvent_Maker::CEvent_Maker(platform::Desktop& desktop, engine::RunSettings settings)
    : m_desktop(desktop), m_settings(settings) {}

int CEvent_Maker::SendMouse(int code, std::uint32_t x, std::uint32_t y) {
    return input::SendMouse(m_desktop, code, x, y);
}

int CEvent_Maker::SendKeys(int mode, std::string_view text) {
    if (mode == 0) return input::TypeText(m_desktop, text, m_typeSpaces);
    if (mode < 1 || mode > 3) return 0;
    const auto vk = engine::FindKeyName(text);
    if (!vk) return -1;
    constexpr input::KeyAction kActions[] = {input::KeyAction::kTap, input::KeyAction::kPress,
                                             input::KeyAction::kRelease};
    input::SendKey(m_desktop, *vk, kActions[mode - 1]);
    return 1;
}

int CEvent_Maker::Wait(int ms) {
    return input::Wait(m_desktop, ms);
}

bool CEvent_Maker::CaptureDesktop(cv::Mat* picture, const platform::Rect& area) {
    return vision::CaptureDesktop(m_desktop, picture, area);
}

bool CEvent_Maker::FindImage(int* x, int* y, double* score, const platform::Rect& area,
                             const char* path) {
    const vision::ImageSearch search = vision::FindImage(m_desktop, area, path, m_settings.matcher);
    if (m_settings.observer) m_settings.observer->ImageSearched(area, path, search);
    if (!search.searched()) return false;
    *x = search.centre.x;
    *y = search.centre.y;
    *score = search.score;
    return true;
}
