// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/stop_binding.h"

#include <unistd.h>

#include <atomic>

namespace platform::wayland {
namespace {

constexpr const char* kBindPress = "bindsym --no-repeat Control_R ";
constexpr const char* kBindRelease = "bindsym --release Control_R ";
constexpr const char* kUnbindPress = "unbindsym --no-repeat Control_R";
constexpr const char* kUnbindRelease = "unbindsym --release Control_R";

std::string NewTag() {
    static std::atomic<unsigned> counter{0};
    return "ravelkin-stop-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

}  // namespace

std::unique_ptr<StopKeyBinding> StopKeyBinding::Create(const std::string& path, std::string& error,
                                                       std::chrono::milliseconds timeout) {
    std::unique_ptr<StopKeyBinding> binding(new StopKeyBinding);
    binding->events_ = SwayIpc::Open(path, error, timeout);
    if (!binding->events_) return nullptr;
    // Subscribed before binding, so that no press can come between.
    if (!binding->events_->Subscribe(R"(["binding"])")) {
        error = "sway refused the binding events: " +
                binding->events_->Lost().value_or("no success in its reply");
        return nullptr;
    }
    binding->commands_ = SwayIpc::Open(path, error, timeout);
    if (!binding->commands_) return nullptr;
    const std::string tag = NewTag();
    binding->press_ = "nop " + tag;
    binding->release_ = "nop " + tag + "-up";
    // Each flag is set as soon as its binding exists, so the destructor undoes a half-done bind.
    CommandResult result = binding->commands_->Command(kBindPress + binding->press_);
    binding->bound_press_ = result.ok;
    if (result) {
        result = binding->commands_->Command(kBindRelease + binding->release_);
        binding->bound_release_ = result.ok;
    }
    if (!result) {
        error = "sway refused the right CTRL binding: " + result.error;
        return nullptr;
    }
    return binding;
}

StopKeyBinding::~StopKeyBinding() {
    if (!commands_) return;
    if (bound_press_) commands_->Command(kUnbindPress);
    if (bound_release_) commands_->Command(kUnbindRelease);
}

bool StopKeyBinding::Held() {
    const auto events = events_->TakeEvents();
    if (!events) return held_ = false;
    for (const SwayIpc::Message& event : *events) {
        if (event.type != kSwayBindingEvent) continue;
        const auto command = ParseBindingCommand(event.payload);
        if (command == press_) held_ = true;
        if (command == release_) held_ = false;
    }
    return held_;
}

std::optional<std::string> StopKeyBinding::Lost() const {
    if (events_->Lost()) return events_->Lost();
    return commands_->Lost();
}

}  // namespace platform::wayland
