// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_desktop.h"

#include <cstring>

#include "platform/virtual_keys.h"

namespace testing_support {

void PrintTo(const InputEvent& e, std::ostream* os) {
    const char* updown = e.down ? " down" : " up";
    switch (e.kind) {
        case InputEvent::Kind::kMove:
            *os << "move " << e.at.x << "," << e.at.y;
            break;
        case InputEvent::Kind::kButton:
            *os << (e.button == platform::Button::kLeft ? "left" : "right") << updown;
            break;
        case InputEvent::Kind::kKey:
            *os << "key " << +e.vk << updown;
            break;
    }
}

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
    const int poll = polls_[vk]++;
    const auto it = key_scripts_.find(vk);
    bool held = it != key_scripts_.end() && poll >= it->second.from && poll < it->second.until;
    // What our own events left down counts too, as on a real desktop.
    bool ours = false;
    const bool left = vk == platform::vk::kLButton;
    const bool right = vk == platform::vk::kRButton;
    for (const InputEvent& e : events) {
        if (e.kind == InputEvent::Kind::kKey && e.vk == vk) ours = e.down;
        if (e.kind == InputEvent::Kind::kButton &&
            (e.button == platform::Button::kLeft ? left : right)) {
            ours = e.down;
        }
    }
    return held || ours;
}

platform::Point FakeDesktop::PointerPosition() {
    platform::Point at;
    for (const InputEvent& e : events) {
        if (e.kind == InputEvent::Kind::kMove) at = e.at;
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

void FakeDesktop::SendPointerMove(platform::Point to) {
    events.push_back(InputEvent::Move(to.x, to.y));
}

void FakeDesktop::SendButton(platform::Button button, bool down) {
    events.push_back(InputEvent::Button(button, down));
}

void FakeDesktop::SendKey(std::uint8_t vk, bool down) {
    events.push_back(InputEvent::Key(vk, down));
}

}  // namespace testing_support
