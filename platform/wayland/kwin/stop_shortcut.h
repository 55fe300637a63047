// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

struct sd_bus;
struct sd_bus_slot;

namespace platform::wayland::kwin {

// The chord that stops a run on KWin, a global shortcut of KDE's KGlobalAccel: KWin shows no
// client the keys the user holds, and takes no modifier alone as a shortcut, nor tells the
// right CTRL from the left one. End is no key a script can press, so a script never stops
// itself.
inline constexpr const char* kStopChordName = "Ctrl+Alt+End";

// The shortcut, registered on the session bus for as long as the object lives; inactive
// again, so the chord reaches other programs, once it is gone.
class StopShortcut {
  public:
    // Registers and claims the chord; nullptr, saying why, where KGlobalAccel does not answer
    // or another shortcut has the chord.
    static std::unique_ptr<StopShortcut> Register(std::string& error);
    ~StopShortcut();
    StopShortcut(const StopShortcut&) = delete;
    StopShortcut& operator=(const StopShortcut&) = delete;

    // Whether the chord is down now, or was pressed since the last call: a press and release
    // that fall between two calls still count once. Reads what has come without waiting.
    bool Pressed();

  private:
    explicit StopShortcut(sd_bus* bus) : bus_(bus) {}
    friend struct ShortcutSignals;

    sd_bus* bus_;
    sd_bus_slot* pressed_slot_ = nullptr;
    sd_bus_slot* released_slot_ = nullptr;
    bool claimed_ = false;  // the chord is ours until we let it go
    bool held_ = false;
    bool unseen_ = false;  // a press not yet reported
};

}  // namespace platform::wayland::kwin
