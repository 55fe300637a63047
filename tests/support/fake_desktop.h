// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/input_watch.h"

namespace testing_support {

// One input event as the desktop received it.
struct InputEvent {
    enum class Kind { kMove, kButton, kKey } kind;
    platform::Point at;  // move
    platform::Button button = platform::Button::kLeft;
    std::uint8_t vk = 0;  // key
    bool down = false;    // button, key

    static InputEvent Move(std::int32_t x, std::int32_t y) { return {Kind::kMove, {x, y}}; }
    static InputEvent Button(platform::Button b, bool down) {
        return {Kind::kButton, {}, b, 0, down};
    }
    static InputEvent Key(std::uint8_t vk, bool down) { return {Kind::kKey, {}, {}, vk, down}; }
    bool operator==(const InputEvent&) const = default;
};
// As "move 300,52", "left down", "key 17 up", for test failures.
void PrintTo(const InputEvent& e, std::ostream* os);

struct FakeWindow {
    std::string title;
    bool minimised = false;
    std::optional<platform::Rect> rect;  // nothing: the rectangle cannot be read
    bool visible = true;
};

// A recording desktop for tests: a scripted screen picture, window list and key state, an
// ordered record of every input event, and a virtual clock that Pause advances.
class FakeDesktop : public platform::Desktop {
  public:
    FakeDesktop(std::int32_t width = 1920, std::int32_t height = 1080);

    // Screen picture: BGR bytes, top row first, 3 bytes a pixel, no padding.
    void SetScreen(std::int32_t width, std::int32_t height, std::vector<std::uint8_t> bgr);
    // Serve the copies bottom-up with a negative pitch, as a Windows bitmap is.
    bool bottom_up = false;
    bool copy_fails = false;

    // Windows in enumeration order, top first.
    std::vector<FakeWindow> windows;

    // The key is down from the poll numbered from (0 = the first poll of that key) up to,
    // not including, the poll numbered until.
    void HoldKeyDuringPolls(std::uint8_t vk, int from, int until = 1 << 30) {
        key_scripts_[vk] = {from, until};
    }
    int polls(std::uint8_t vk) const { return polls_.contains(vk) ? polls_.at(vk) : 0; }

    std::vector<InputEvent> events;
    std::uint64_t now_ms = 0;             // the sum of the pauses so far
    int screen_size_reads = 0;            // calls of ScreenSize so far
    platform::Capabilities capabilities;  // what Can answers
    // What Lost answers: set it to lose the desktop.
    std::optional<std::string> lost;
    // What WatchInput's watch reports, in order, and then a press of the right CTRL key.
    std::vector<platform::WatchedEvent> watched;
    // Milliseconds of real silence before each of those, the right CTRL key's last; none
    // where the list ends. An event after silence is not pending before it.
    std::vector<std::uint32_t> quiet_ms;
    int screen_copies = 0;  // calls of CopyScreen so far

    platform::Capabilities Can() const override { return capabilities; }
    bool IsKeyDown(std::uint8_t vk) override;
    // The pixel of the last move; the corner before any.
    platform::Point PointerPosition() override;
    void Pause(std::uint32_t ms) override { now_ms += ms; }
    platform::Size ScreenSize() override {
        ++screen_size_reads;
        return {width_, height_};
    }
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    platform::Bitmap& out) override;
    // Handles are 1 and up, in list order.
    void ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) override {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (!visit(i + 1)) return;
        }
    }
    std::string WindowTitle(platform::WindowHandle w) override { return Find(w).title; }
    bool IsWindowMinimised(platform::WindowHandle w) override { return Find(w).minimised; }
    bool IsWindowVisible(platform::WindowHandle w) override { return Find(w).visible; }
    std::optional<platform::Rect> WindowRect(platform::WindowHandle w) override {
        return Find(w).rect;
    }
    std::optional<std::string> Lost() const override { return lost; }
    std::unique_ptr<platform::InputWatch> WatchInput(std::string& error) override;

  protected:
    void SendPointerMove(platform::Point p) override {
        events.push_back(InputEvent::Move(p.x, p.y));
    }
    void SendButton(platform::Button button, bool down) override {
        events.push_back(InputEvent::Button(button, down));
    }
    void SendKey(std::uint8_t k, bool down) override { events.push_back(InputEvent::Key(k, down)); }

  private:
    // The window of a handle; one with nothing (not shown, no rectangle) for no window.
    FakeWindow Find(platform::WindowHandle window) const {
        return window > 0 && window <= windows.size() ? windows[window - 1]
                                                      : FakeWindow{{}, false, {}, false};
    }

    std::int32_t width_, height_;
    std::vector<std::uint8_t> screen_;
    struct KeyScript {
        int from, until;
    };
    std::map<std::uint8_t, KeyScript> key_scripts_;
    std::map<std::uint8_t, int> polls_;
};

}  // namespace testing_support
