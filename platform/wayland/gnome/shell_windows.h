// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace platform::wayland::gnome {

// One window as GNOME Shell knows it.
struct ShellWindow {
    std::uint64_t id = 0;  // stable while the window lives
    std::string title;     // UTF-8
    Rect frame;            // outer rectangle, in the screen's pixels
    bool minimised = false;
    bool visible = false;  // shown on the current workspace and not minimised
};

// What Ravelkin's GNOME Shell extension tells over the session bus, to Ravelkin alone: the
// windows in stacking order, their activation, and the stop chord it grabs while a run lasts.
class ShellWindows {
  public:
    // Connects to the session bus and greets the extension; null, with the reason and how to
    // enable the extension in words for the user, when it is not installed or not enabled.
    static std::unique_ptr<ShellWindows> Open(std::string& error);
    ~ShellWindows();
    ShellWindows(const ShellWindows&) = delete;
    ShellWindows& operator=(const ShellWindows&) = delete;

    // Top first. False, saying why, when the extension no longer answers.
    bool List(std::vector<ShellWindow>& out, std::string& error);
    bool Activate(std::uint64_t id, std::string& error);

    // The stop chord: grabbed for a run, released after it. StopPressed is true once the
    // chord was pressed since the grab.
    bool GrabStopChord(std::string& error);
    void ReleaseStopChord();
    bool StopPressed();
    // The chord as a user presses it, for messages and the manual, such as "Ctrl+Alt+End".
    static std::string Chord();

  private:
    struct Bus;
    explicit ShellWindows(std::unique_ptr<Bus> bus);
    std::unique_ptr<Bus> bus_;
};

}  // namespace platform::wayland::gnome
