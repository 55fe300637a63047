// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/input_watch.h"

namespace app {

// Turns the keys a user presses into script lines: text the typing table types back into STR,
// the named keys into OPE, Ctrl, Alt and Win held around other keys into OPE_ON and OPE_OFF,
// and any key a script cannot send into a comment that names it.
class KeyLines {
  public:
    explicit KeyLines(std::vector<std::string>& lines) : lines_(lines) {}

    void Take(const platform::WatchedEvent& key);
    // Writes the text typed so far, before a line of something else.
    void Flush();
    // Before a click: flushes, and holds the modifiers held now (OPE_ON) around it.
    void BeforeAction();
    bool ShiftHeld() const { return shift_; }
    // Flushes, and lets go of the modifiers still held, so that the script leaves none down.
    void Finish();
    // What could not be recorded, a line each, as the comments say it.
    const std::vector<std::string>& unrecorded() const { return unrecorded_; }

  private:
    struct Modifier {
        const char* name;  // as OPE names it
        bool held = false;
        bool written = false;  // OPE_ON written for this hold
        bool used = false;     // another key went down during this hold
    };
    void Unrecorded(const std::string& what);
    void TakeDown(const platform::WatchedEvent& key);

    std::vector<std::string>& lines_;
    std::string text_;  // typed, not yet written
    Modifier modifiers_[3] = {{"CTRL"}, {"ALT"}, {"WIN"}};
    bool shift_ = false;
    bool shift_used_ = false;
    std::vector<std::string> unrecorded_;
};

}  // namespace app
