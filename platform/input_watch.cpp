// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/input_watch.h"

#include <chrono>

namespace platform {

std::optional<WatchedEvent> QueuedInputWatch::Next(std::uint32_t timeout_ms) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                      [this] { return !queue_.empty() || lost_; });
    if (queue_.empty()) return std::nullopt;
    WatchedEvent event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

bool QueuedInputWatch::Pending() {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
}

std::optional<std::string> QueuedInputWatch::Lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

void QueuedInputWatch::Push(WatchedEvent event) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(event));
    arrived_.notify_all();
}

void QueuedInputWatch::End(std::string why) {
    std::lock_guard lock(mutex_);
    lost_ = std::move(why);
    arrived_.notify_all();
}

}  // namespace platform
