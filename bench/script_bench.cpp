// Loading and running long scripts of comments and "WAIT 0" against the recording desktop:
// the cost per line must stay flat from 10k to 100k lines.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/event_maker.h"
#include "engine/trace.h"
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
        CEvent_Maker engine;
        if (!engine.Load(file.c_str()) || engine.RunList() != 0) {
            state.SkipWithError("run failed");
            break;
        }
        benchmark::DoNotOptimize(engine.m_log.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["ns_per_line"] = benchmark::Counter(
        static_cast<double>(state.range(0)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadAndRun)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
