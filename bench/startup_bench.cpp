// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: `ravelkin --run` of a one-line MOV script against a small tool that sends one
// input event, whole processes started alternately, each timed from its start to its end and
// its peak resident memory read from wait4. On an X display ($DISPLAY) the tool is
// `xdotool mousemove` to the same place; on a Wayland compositor ($WAYLAND_DISPLAY without
// $DISPLAY, where ravelkin takes its Wayland backend) it is `wtype a`, which types one letter
// through a virtual keyboard as ravelkin sets up its own. Run it on a private display or
// compositor:
//   RAVELKIN_TEST_DISPLAY="1024x768 none" scripts/lib/with-display build/bin/startup_bench
//   RAVELKIN_TEST_SWAY=1920x1080 scripts/lib/with-sway build/bin/startup_bench
// RAVELKIN_PROGRAM names another ravelkin to measure (an older build). Counters: the median
// times, the median of the per-pair ratios ravelkin/TOOL, each one's peak resident size,
// and the starts that failed to reach the display and were made again (Xvfb on a loaded
// machine refuses a few connections; neither program's fault).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/process_run.h"
#include "tests/support/temp_dir.h"

namespace {

struct Contender {
    std::string name;
    std::vector<std::string> args;
    std::vector<double> ms;
    long peak_kib = 0;
};

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void MoveProcess(benchmark::State& state, const std::string& tool_name,
                 const std::vector<std::string>& tool) {
    testing_support::TempDir dir;
    dir.Write("mov.dat", "MOV 100,200\n");
    const char* program = std::getenv("RAVELKIN_PROGRAM");
    Contender contenders[2];
    contenders[0].name = "ravelkin";
    contenders[0].args = {program ? program : RAVELKIN_PROGRAM, "--run", dir.Path("mov.dat")};
    contenders[1].name = tool_name;
    contenders[1].args = tool;
    int failed_starts = 0;
    std::size_t turn = 0;
    for (auto _ : state) {
        for (std::size_t k = 0; k < 2; ++k) {
            Contender& c = contenders[(turn + k) % 2];
            double ms = bench::RunProcess(c.args, &c.peak_kib);
            for (int attempt = 1; ms < 0 && attempt < 10; ++attempt, ++failed_starts) {
                ms = bench::RunProcess(c.args, &c.peak_kib);
            }
            if (ms < 0) {
                state.SkipWithError((c.args[0] + " failed").c_str());
                return;
            }
            c.ms.push_back(ms);
        }
        state.SetIterationTime(contenders[0].ms.back() / 1e3);
        ++turn;
    }
    std::vector<double> ratios;
    for (std::size_t i = 0; i < contenders[0].ms.size(); ++i) {
        ratios.push_back(contenders[0].ms[i] / contenders[1].ms[i]);
    }
    for (const Contender& c : contenders) {
        state.counters[c.name + "_ms"] = Median(c.ms);
        state.counters[c.name + "_peak_MiB"] = c.peak_kib / 1024.0;
    }
    state.counters["ravelkin/" + tool_name] = Median(ratios);
    state.counters["failed_starts"] = failed_starts;
}

}  // namespace

int main(int argc, char** argv) {
    const char* x_display = std::getenv("DISPLAY");
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    benchmark::internal::Benchmark* move = nullptr;
    if (x_display && *x_display) {
        move = benchmark::RegisterBenchmark("BM_MoveProcess", [](benchmark::State& state) {
            MoveProcess(state, "xdotool", {"xdotool", "mousemove", "100", "200"});
        });
    } else if (wayland_display && *wayland_display) {
        move = benchmark::RegisterBenchmark("BM_MoveProcess/wayland", [](benchmark::State& state) {
            MoveProcess(state, "wtype", {"wtype", "a"});
        });
    } else {
        std::fprintf(stderr,
                     "startup_bench: no $DISPLAY or $WAYLAND_DISPLAY; run it under "
                     "scripts/lib/with-display or scripts/lib/with-sway\n");
        return 1;
    }
    move->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
