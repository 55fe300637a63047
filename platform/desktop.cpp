#include "platform/desktop.h"

#include <algorithm>

#include "platform/virtual_keys.h"

namespace platform {

void Desktop::MouseEvent(std::uint32_t flags, std::uint32_t dx, std::uint32_t dy) {
    SendMouseEvent(flags, dx, dy);
    if (flags & mouse::kLeftDown) left_held_ = true;
    if (flags & mouse::kLeftUp) left_held_ = false;
}

void Desktop::KeyEvent(std::uint8_t vk, bool down) {
    SendKeyEvent(vk, down);
    auto it = std::find(held_keys_.begin(), held_keys_.end(), vk);
    if (down && it == held_keys_.end()) held_keys_.push_back(vk);
    if (!down && it != held_keys_.end()) held_keys_.erase(it);
}

void Desktop::ReleaseHeldInput() {
    while (!held_keys_.empty()) KeyEvent(held_keys_.back(), false);
    if (left_held_) MouseEvent(mouse::kLeftUp, 0, 0);
}

namespace {

class InertDesktop final : public Desktop {
  public:
    bool IsKeyDown(std::uint8_t) override { return false; }
    void Pause(std::uint32_t) override {}
    Size ScreenSize() override { return {}; }
    bool CopyScreen(std::int32_t, std::int32_t, std::int32_t, std::int32_t, Bitmap&) override {
        return false;
    }
    void ForEachWindow(const std::function<bool(WindowHandle)>&) override {}
    std::string WindowTitle(WindowHandle) override { return {}; }
    bool IsWindowMinimised(WindowHandle) override { return false; }
    std::optional<Rect> WindowRect(WindowHandle) override { return std::nullopt; }

  protected:
    void SendMouseEvent(std::uint32_t, std::uint32_t, std::uint32_t) override {}
    void SendKeyEvent(std::uint8_t, bool) override {}
};

InertDesktop g_inert;
Desktop* g_active = &g_inert;

}  // namespace

Desktop& Active() {
    return *g_active;
}

Desktop* Install(Desktop* desktop) {
    Desktop* previous = g_active == &g_inert ? nullptr : g_active;
    g_active = desktop ? desktop : &g_inert;
    return previous;
}

}  // namespace platform
