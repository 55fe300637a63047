// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Screen copies, window rectangles and pointer positions must all be in the screen's own
// pixels, also on a display scaled to more than 100 %.
namespace platform {

// On Windows the program's manifest asks for per-monitor DPI awareness (v2). Where the system
// did not apply it (Wine 8 knows no v2 and then applies nothing), this asks for it, v2 first,
// before any window exists. Nothing elsewhere.
void UseScreenPixels();

// What the system applies, for --version: "DPI awareness: per-monitor v2, 144 dpi" on Windows;
// empty elsewhere.
std::string ScreenPixelsReport();

}  // namespace platform
