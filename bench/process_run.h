// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace bench {

// Runs a program (searched on PATH) to its end with its output thrown away: its wall time in
// milliseconds, from before the spawn to after the wait, when it exits with status 0, a
// negative number otherwise. Its peak resident size in KiB, from wait4, goes to peak_kib when
// given.
double RunProcess(const std::vector<std::string>& args, long* peak_kib = nullptr);

}  // namespace bench
