// SPDX-License-Identifier: GPL-3.0-or-later
// Loading and running long scripts against the recording desktop: comments and "WAIT 0",
// whose cost per line must stay flat from 10k to a million lines, and one line of 10 MB,
// which loads as pieces of 1023 bytes and stops the run at its second piece.
#include <benchmark/benchmark.h>

#include <string>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Script(std::int64_t lines) {
    std::string text;
    for (std::int64_t i = 0; i < lines; ++i) {
        text += (i % 2 == 0) ? "; step " + std::to_string(i) + "\r\n" : "WAIT 0\r\n";
    }
    return text;
}

void BM_LoadAndRun(benchmark::State& state) {
    trace::SetOutput(nullptr);
    testing_support::TempDir dir;
    const auto file = dir.Write("long.dat", Script(state.range(0)));
    testing_support::FakeDesktop desktop;
    for (auto _ : state) {
        CEvent_Maker engine(desktop);
        if (!engine.Load(file.c_str()) || engine.RunList() != 0) {
            state.SkipWithError("run failed");
            break;
        }
        benchmark::DoNotOptimize(engine.GetLog().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["ns_per_line"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadAndRun)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_OneHugeLine(benchmark::State& state) {
    trace::SetOutput(nullptr);
    testing_support::TempDir dir;
    const std::string line = "STR " + std::string(10 * 1024 * 1024, 'A');
    const auto file = dir.Write("huge.dat", line);
    testing_support::FakeDesktop desktop;
    for (auto _ : state) {
        CEvent_Maker engine(desktop);
        if (!engine.Load(file.c_str()) ||
            engine.GetCommands().size() != (line.size() + 1022) / 1023 || engine.RunList() != -1) {
            state.SkipWithError("not as the loader splits it");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_OneHugeLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
