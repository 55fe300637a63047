// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/wayland/sway_ipc.h"

namespace platform::wayland {

// The right CTRL key seen through sway: while it lives, sway runs a no-op binding tagged for
// this object when the key goes down and another when it comes up, and reports both as binding
// events. The bindings are removed when it goes. A run stopped by SIGINT or SIGTERM unwinds
// normally, so they go with it; a process killed outright leaves them until the next one
// replaces them (same key, same flags) or sway reloads its configuration.
class StopKeyBinding {
  public:
    // Binds the key over sway's socket at path; nullptr with the reason in error.
    static std::unique_ptr<StopKeyBinding> Create(
        const std::string& path, std::string& error,
        std::chrono::milliseconds timeout = SwayIpc::kDefaultTimeout);
    ~StopKeyBinding();
    StopKeyBinding(const StopKeyBinding&) = delete;
    StopKeyBinding& operator=(const StopKeyBinding&) = delete;

    // Whether right CTRL is down now: pressed and not released since. Reads the events already
    // sent without waiting; false once the connection is lost (see Lost).
    bool Held();
    // Why the key can no longer be seen; nothing while it can.
    std::optional<std::string> Lost() const;
    // The command the press runs; the release runs it with "-up" appended.
    const std::string& command() const { return press_; }

  private:
    StopKeyBinding() = default;

    std::unique_ptr<SwayIpc> commands_;
    std::unique_ptr<SwayIpc> events_;
    std::string press_;
    std::string release_;
    bool bound_press_ = false;
    bool bound_release_ = false;
    bool held_ = false;
};

}  // namespace platform::wayland
