// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fake_desktop.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/virtual_keys.h"

namespace testing_support {

void PrintTo(const InputEvent& e, std::ostream* os) {
    const char* updown = e.down ? " down" : " up";
    if (e.kind == InputEvent::Kind::kMove) *os << "move " << e.at.x << "," << e.at.y;
    if (e.kind == InputEvent::Kind::kButton) {
        *os << (e.button == platform::Button::kLeft ? "left" : "right") << updown;
    }
    if (e.kind == InputEvent::Kind::kKey) *os << "key " << +e.vk << updown;
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

bool FakeDesktop::IsKeyDown(std::uint8_t vk) {
    const int poll = polls_[vk]++;
    const auto it = key_scripts_.find(vk);
    bool held = it != key_scripts_.end() && poll >= it->second.from && poll < it->second.until;
    // What our own events left down counts too, as on a real desktop.
    bool ours = false;
    const bool left = vk == platform::vk::kLButton, right = vk == platform::vk::kRButton;
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

bool FakeDesktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                             std::int32_t height, platform::Bitmap& out) {
    ++screen_copies;
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

std::unique_ptr<platform::InputWatch> FakeDesktop::WatchInput(std::string&) {
    struct Watch : platform::InputWatch {
        std::vector<platform::WatchedEvent> events;
        std::vector<std::uint32_t> quiet;
        std::size_t next = 0;
        std::uint32_t Quiet() const { return next < quiet.size() ? quiet[next] : 0; }
        std::optional<platform::WatchedEvent> Next(std::uint32_t timeout_ms) override {
            if (const std::uint32_t left = Quiet()) {
                const std::uint32_t wait = std::min(left, timeout_ms);
                std::this_thread::sleep_for(std::chrono::milliseconds(wait));
                quiet[next] -= wait;
                if (quiet[next] > 0) return std::nullopt;
            }
            if (next < events.size()) return events[next++];
            platform::WatchedEvent stop;
            stop.kind = platform::WatchedEvent::Kind::kKey;
            stop.down = true;
            stop.vk = platform::vk::kRControl;
            return stop;
        }
        bool Pending() override { return next < events.size() && Quiet() == 0; }
    };
    auto watch = std::make_unique<Watch>();
    watch->events = watched;
    watch->quiet = quiet_ms;
    return watch;
}

}  // namespace testing_support
