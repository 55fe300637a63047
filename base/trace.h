// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

// Diagnostic trace lines: not part of the user interface. They go to standard output unless
// the program sends them elsewhere (the command-line runner: standard error, or nowhere).
namespace trace {

// nullptr silences the trace.
void SetOutput(std::FILE* out);
std::FILE* Output();

void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends the trace to out while it lives, then back to where it went before.
class ScopedOutput {
  public:
    explicit ScopedOutput(std::FILE* out) : previous_(Output()) { SetOutput(out); }
    ~ScopedOutput() { SetOutput(previous_); }
    ScopedOutput(const ScopedOutput&) = delete;
    ScopedOutput& operator=(const ScopedOutput&) = delete;

  private:
    std::FILE* previous_;
};

}  // namespace trace
