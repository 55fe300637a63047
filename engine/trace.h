#pragma once

#include <cstdio>

// Diagnostic trace lines: not part of the user interface. They go to standard output unless
// the program sends them elsewhere (the command-line runner: standard error, or nowhere).
namespace trace {

// nullptr silences the trace.
void SetOutput(std::FILE* out);
std::FILE* Output();

void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace trace
