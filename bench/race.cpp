// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/race.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace bench {
namespace {

struct Times {
    double wall;  // what a user waits
    double cpu;   // what it costs the machine, which other programs on it share
};

// Processor time of the whole process, all threads, in milliseconds.
double ProcessMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

}  // namespace

void Race(benchmark::State& state, const std::vector<std::string>& names,
          const std::vector<std::function<bool()>>& contenders, bool in_microseconds) {
    for (const auto& run : contenders) {
        if (!run()) {  // also plans and warms up
            state.SkipWithError("the work failed");
            return;
        }
    }
    std::vector<std::vector<Times>> times(contenders.size());
    std::size_t turn = 0;
    for (auto _ : state) {
        for (std::size_t k = 0; k < contenders.size(); ++k) {
            const std::size_t c = (turn + k) % contenders.size();
            const auto start = std::chrono::steady_clock::now();
            const double cpu_start = ProcessMilliseconds();
            const bool done = contenders[c]();
            times[c].push_back(
                {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count(),
                 ProcessMilliseconds() - cpu_start});
            if (!done) state.SkipWithError("the work failed");
        }
        ++turn;
    }
    if (times[0].empty()) return;
    const double scale = in_microseconds ? 1e3 : 1.0;
    const std::string unit = in_microseconds ? "_us" : "_ms";
    const auto median = [scale](const std::vector<Times>& of, double Times::*field) {
        std::vector<double> values;
        for (const Times& t : of) values.push_back(t.*field * scale);
        return Median(values);
    };
    for (std::size_t c = 0; c < contenders.size(); ++c) {
        state.counters[names[c] + unit] = median(times[c], &Times::wall);
        state.counters[names[c] + "_cpu" + unit] = median(times[c], &Times::cpu);
        if (c == 0) continue;
        std::vector<double> ratios;
        for (std::size_t i = 0; i < times[0].size(); ++i) {
            ratios.push_back(times[0][i].wall / times[c][i].wall);
        }
        state.counters[names[0] + "/" + names[c]] = Median(ratios);
    }
}

}  // namespace bench
