// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_settings.h"
#include "platform/desktop.h"

namespace engine {

// A command's result: negative stops the run; zero and positive go on. A few commands tell
// what they did with a positive value (STR the bytes it read).
enum Result : int {
    kFailed = -1,
    kDone = 0,
    kKeySent = 1,
    kMovedToWindow = 1,
};

// A run's result: completed, cancelled by the stop key, or a failing line's negative result.
enum RunResult : int {
    kCompleted = 0,
    kCancelled = 1,
};

// One stored line as a handler sees it: the whole text, split at its first space into the
// keyword and the argument text.
struct CommandLine {
    const std::string& text;
    std::string_view keyword;
    std::string_view args;
};

// What a command works with: the desktop, the run's settings, and where its log line and its
// error text go. A handler appends at most one log line, before it acts; a failing handler
// replaces the error text.
struct RunContext {
    platform::Desktop& desktop;
    const RunSettings& settings;
    std::string& log;
    std::string& error;
    bool type_spaces = true;
};

// "STRING's ARG ERROR : " and the whole line; kFailed.
int ArgumentError(RunContext& run, const CommandLine& line);

// Moves to (x, y) with coordinates limited to the screen, so that a negative or huge value
// never wraps to an arbitrary place. The screen's size is read once.
int MovePointer(RunContext& run, std::int64_t x, std::int64_t y);
// Move, and click only when the move succeeded.
int MoveAndClick(RunContext& run, std::int64_t x, std::int64_t y);

}  // namespace engine
