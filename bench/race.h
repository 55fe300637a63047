// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Times the contenders once per iteration, rotating which goes first, so that load from
// elsewhere on the machine falls on all alike. Reports each one's median wall and processor
// time (counters NAME_ms and NAME_cpu_ms, or _us with in_microseconds) and the median of the
// per-iteration ratios of the first one's wall time to every other's (FIRST/OTHER). A
// contender returns false when its work failed, which ends the benchmark with an error.
void Race(benchmark::State& state, const std::vector<std::string>& names,
          const std::vector<std::function<bool()>>& contenders, bool in_microseconds = false);

}  // namespace bench
