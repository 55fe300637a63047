// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>

#include "platform/desktop.h"

namespace app {

// What is under the pointer, as scripts see it: the pointer's pixel and its colour, and the
// top-level window there with its title as WIND compares it, its rectangle and the point
// WIND_CLK clicks. One line.
std::string SpyLine(platform::Desktop& desktop);

// ravelkin --spy: keeps that line up to date in the terminal until the stop key or a stop
// request (Ctrl+C).
void Spy(platform::Desktop& desktop, std::ostream& out);

}  // namespace app
