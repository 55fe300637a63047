// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/geometry.h"

namespace platform {

enum class Button { kLeft, kRight };

// One thing the user did with the mouse or keyboard, anywhere on the desktop.
struct WatchedEvent {
    enum class Kind { kMotion, kButton, kWheel, kKey };
    Kind kind = Kind::kMotion;
    std::uint64_t ms = 0;  // when, in milliseconds on a clock of the desktop's that only grows
    Point at;              // where the pointer was (motion, button, wheel)
    // kButton: left or right; nothing for any other button.
    std::optional<Button> button;
    bool down = false;    // kButton, kKey
    std::uint8_t vk = 0;  // kKey: the virtual-key code, sides told apart (kLShift, kRControl...)
    std::string text;     // kKey down: what the key types with the Shift state held (UTF-8)
    std::string name;     // kKey: the key's name on this desktop ("Tab", "F5"), for messages
};

// The user's input as it happens, in order, events our own input makes included. Made by
// Desktop::WatchInput; it watches until it is destroyed.
class InputWatch {
  public:
    InputWatch() = default;
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;
    virtual ~InputWatch() = default;

    // The next event, waiting up to timeout_ms for one; nothing when none came in that time.
    virtual std::optional<WatchedEvent> Next(std::uint32_t timeout_ms) = 0;
    // True when an event is waiting, so that Next would answer without waiting.
    virtual bool Pending() = 0;
    // Why the watch ended (the desktop went); nothing while it watches.
    virtual std::optional<std::string> Lost() const { return std::nullopt; }
};

// A watch whose events a thread of the backend's queues as they happen, for the recorder to
// take in order on its own thread.
class QueuedInputWatch : public InputWatch {
  public:
    std::optional<WatchedEvent> Next(std::uint32_t timeout_ms) override;
    bool Pending() override;
    std::optional<std::string> Lost() const override;

  protected:
    void Push(WatchedEvent event);
    // The watch has ended, for the reason given: Next answers at once from then on.
    void End(std::string why);

  private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<WatchedEvent> queue_;
    std::optional<std::string> lost_;
};

}  // namespace platform
