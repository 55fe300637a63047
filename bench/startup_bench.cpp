// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: `ravelkin --run` of a one-line MOV script against `xdotool mousemove` to the same
// place, whole processes started alternately on the display of $DISPLAY, each timed from its
// start to its end and its peak resident memory read from wait4. Run it on a private one:
//   RAVELKIN_TEST_DISPLAY="1024x768 none" scripts/lib/with-display build/bin/startup_bench
// RAVELKIN_PROGRAM names another ravelkin to measure (an older build). Counters: the median
// times, the median of the per-pair ratios ravelkin/xdotool, each one's peak resident size,
// and the starts that failed to reach the display and were made again (Xvfb on a loaded
// machine refuses a few connections; neither program's fault).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

struct Contender {
    std::vector<std::string> args;
    std::vector<double> ms;
    long peak_kib = 0;
};

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Runs the program to its end with its output thrown away: its time in milliseconds when it
// exits with status 0, a negative number otherwise.
double RunOnce(Contender& c) {
    std::vector<char*> argv;
    for (const std::string& arg : c.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (failed || wait4(pid, &status, 0, &usage) != pid) return -1;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    c.peak_kib = std::max(c.peak_kib, usage.ru_maxrss);
    return took.count();
}

void BM_MoveProcess(benchmark::State& state) {
    testing_support::TempDir dir;
    dir.Write("mov.dat", "MOV 100,200\n");
    const char* program = std::getenv("RAVELKIN_PROGRAM");
    Contender contenders[2];
    contenders[0].args = {program ? program : RAVELKIN_PROGRAM, "--run", dir.Path("mov.dat")};
    contenders[1].args = {"xdotool", "mousemove", "100", "200"};
    int failed_starts = 0;
    std::size_t turn = 0;
    for (auto _ : state) {
        for (std::size_t k = 0; k < 2; ++k) {
            Contender& c = contenders[(turn + k) % 2];
            double ms = RunOnce(c);
            for (int attempt = 1; ms < 0 && attempt < 10; ++attempt, ++failed_starts) {
                ms = RunOnce(c);
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
    state.counters["ravelkin_ms"] = Median(contenders[0].ms);
    state.counters["xdotool_ms"] = Median(contenders[1].ms);
    state.counters["ravelkin/xdotool"] = Median(ratios);
    state.counters["ravelkin_peak_MiB"] = contenders[0].peak_kib / 1024.0;
    state.counters["xdotool_peak_MiB"] = contenders[1].peak_kib / 1024.0;
    state.counters["failed_starts"] = failed_starts;
}
BENCHMARK(BM_MoveProcess)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "startup_bench: no $DISPLAY; run it under scripts/lib/with-display\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
