// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/trace.h"

#include <cstdarg>

namespace trace {
namespace {
std::FILE* g_out = stdout;
}

void SetOutput(std::FILE* out) {
    g_out = out;
}
std::FILE* Output() {
    return g_out;
}

void Printf(const char* format, ...) {
    if (!g_out) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(g_out, format, args);
    va_end(args);
    std::fflush(g_out);
}

}  // namespace trace
