// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"

namespace engine {

// What a check finds on one line of a script.
struct Finding {
    int line = 0;
    bool error = false;  // an error stops the run there; a warning is worth a look
    std::string text;
};

// What a command's check works with: the line's number, what it found so far, and what the
// file holds down. With a desktop, the check can measure search areas against its screen; it
// never acts on it.
class CheckContext {
  public:
    explicit CheckContext(platform::Desktop* desktop) : desktop_(desktop) {}

    platform::Desktop* desktop() const { return desktop_; }
    void StartLine(int number) { line_ = number; }

    void Error(std::string text) { findings_.push_back({line_, true, std::move(text)}); }
    void Warning(std::string text) { findings_.push_back({line_, false, std::move(text)}); }
    // A key or button the file presses and has not released yet, with the line that did.
    void Hold(const std::string& what) { held_.try_emplace(what, line_); }
    void Release(const std::string& what) { held_.erase(what); }

    // Warns of what is still held, then hands over the findings in line order.
    std::vector<Finding> Finish();

  private:
    platform::Desktop* desktop_;
    int line_ = 0;
    std::map<std::string, int> held_;
    std::vector<Finding> findings_;
};

// 'text', as findings quote what they name.
std::string Quoted(std::string_view text);

}  // namespace engine
