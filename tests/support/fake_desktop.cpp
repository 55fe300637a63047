#include "tests/support/fake_desktop.h"

#include <cstring>

#include "platform/absolute_position.h"
#include "platform/virtual_keys.h"

namespace testing_support {

FakeDesktop::FakeDesktop(std::int32_t width, std::int32_t height)
    : width_(width),
      height_(height),
      screen_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0) {}

void FakeDesktop::SetScreen(std::int32_t width, std::int32_t height,
                            std::vector<std::uint8_t> bgr) {
    width_ = width;
    height_ = height;
    screen_ = std::move(bgr);
    screen_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
}

void FakeDesktop::HoldKeyDuringPolls(std::uint8_t vk, int from, int until) {
    key_scripts_[vk] = {from, until};
}

int FakeDesktop::polls(std::uint8_t vk) const {
    const auto it = polls_.find(vk);
    return it == polls_.end() ? 0 : it->second;
}

bool FakeDesktop::IsKeyDown(std::uint8_t vk) {
    namespace mouse = platform::mouse;
    const int poll = polls_[vk]++;
    const auto it = key_scripts_.find(vk);
    bool held = it != key_scripts_.end() && poll >= it->second.from && poll < it->second.until;
    // What our own events left down counts too, as on a real desktop.
    bool ours = false;
    for (const InputEvent& e : events) {
        if (e.kind == InputEvent::Kind::kKey && e.vk == vk) ours = e.down;
        if (vk == platform::vk::kLButton && (e.flags & (mouse::kLeftDown | mouse::kLeftUp))) {
            ours = e.flags & mouse::kLeftDown;
        }
    }
    return held || ours;
}

platform::Point FakeDesktop::PointerPosition() {
    namespace mouse = platform::mouse;
    platform::Point at;
    for (const InputEvent& e : events) {
        if ((e.flags & mouse::kMove) && (e.flags & mouse::kAbsolute)) {
            at = {platform::PixelFromAbsolute(e.dx, width_),
                  platform::PixelFromAbsolute(e.dy, height_)};
        }
    }
    return at;
}

void FakeDesktop::Pause(std::uint32_t ms) {
    now_ms += ms;
}

bool FakeDesktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                             std::int32_t height, platform::Bitmap& out) {
    if (copy_fails || width <= 0 || height <= 0) return false;
    out.Allocate(width, height, bottom_up);
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int64_t sy = static_cast<std::int64_t>(top) + row;
        if (sy < 0 || sy >= height_) continue;
        std::uint8_t* dst = out.TopRow() + row * out.pitch;
        for (std::int32_t col = 0; col < width; ++col) {
            const std::int64_t sx = static_cast<std::int64_t>(left) + col;
            if (sx < 0 || sx >= width_) continue;
            std::memcpy(dst + col * 3, &screen_[(sy * width_ + sx) * 3], 3);
        }
    }
    return true;
}

void FakeDesktop::ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (!visit(i + 1)) return;
    }
}

const FakeWindow* FakeDesktop::Find(platform::WindowHandle window) const {
    if (window == 0 || window > windows.size()) return nullptr;
    return &windows[window - 1];
}

std::string FakeDesktop::WindowTitle(platform::WindowHandle window) {
    const FakeWindow* w = Find(window);
    return w ? w->title : std::string();
}

bool FakeDesktop::IsWindowMinimised(platform::WindowHandle window) {
    const FakeWindow* w = Find(window);
    return w && w->minimised;
}

bool FakeDesktop::IsWindowVisible(platform::WindowHandle window) {
    const FakeWindow* w = Find(window);
    return w && w->visible;
}

std::optional<platform::Rect> FakeDesktop::WindowRect(platform::WindowHandle window) {
    const FakeWindow* w = Find(window);
    return w ? w->rect : std::nullopt;
}

void FakeDesktop::SendMouseEvent(std::uint32_t flags, std::uint32_t dx, std::uint32_t dy) {
    events.push_back(InputEvent::Mouse(flags, dx, dy));
}

void FakeDesktop::SendKeyEvent(std::uint8_t vk, bool down) {
    events.push_back(InputEvent::Key(vk, down));
}

}  // namespace testing_support
