// SPDX-License-Identifier: GPL-3.0-or-later
// Screen capture through the Wayland backend (wlr-screencopy into shared memory) against grim
// on the same compositor in the same run, alternating within each iteration, on the
// compositor of $WAYLAND_DISPLAY. Run it on a private sway of the size it is meant for:
//   RAVELKIN_TEST_SWAY=1920x1080 scripts/lib/with-sway build/bin/wayland_capture_bench
// Two comparisons, as grim is a whole program that connects, copies, writes and exits:
//   InProcess: one CopyScreen of the whole screen on a backend opened once, the cost of a
//              capture inside a run, against `grim -t ppm /dev/null`;
//   Process:   wayland_shot, a program that opens the backend as ravelkin does, copies the
//              screen and writes it as PPM to /dev/null, against the same grim.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/process_run.h"
#include "bench/race.h"
#include "platform/allocator_tuning.h"
#include "platform/wayland/wayland_desktop.h"

namespace {

const std::vector<std::string> kGrim = {"grim", "-t", "ppm", "/dev/null"};

bool Grim() {
    return bench::RunProcess(kGrim) >= 0;
}

void BM_Capture_InProcess(benchmark::State& state) {
    auto opened = platform::wayland::WaylandDesktop::Open();
    if (!opened.desktop) {
        state.SkipWithError(opened.error.c_str());
        return;
    }
    platform::wayland::WaylandDesktop& desktop = *opened.desktop;
    const platform::Size size = desktop.ScreenSize();
    platform::Bitmap copy;
    bench::Race(state, {"copy_screen", "grim"},
                {[&] {
                     const bool ok = desktop.CopyScreen(0, 0, size.width, size.height, copy);
                     benchmark::DoNotOptimize(copy.data());
                     return ok;
                 },
                 Grim});
    state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void BM_Capture_Process(benchmark::State& state) {
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::vector<std::string> shot = {(beside / "wayland_shot").string(), "/dev/null"};
    bench::Race(state, {"wayland_shot", "grim"},
                {[&] { return bench::RunProcess(shot) >= 0; }, Grim});
}

BENCHMARK(BM_Capture_InProcess)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Capture_Process)->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    if (!wayland_display || !*wayland_display) {
        std::fprintf(stderr,
                     "wayland_capture_bench: no $WAYLAND_DISPLAY; run it under "
                     "scripts/lib/with-sway\n");
        return 1;
    }
    platform::KeepLargeBlocksInHeap();  // as the program does at start-up
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
