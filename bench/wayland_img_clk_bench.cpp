// SPDX-License-Identifier: GPL-3.0-or-later
// One whole IMG_CLK command (capture a 1920x1080 screen, load the template, match, move,
// click) through the Wayland backend the compositor of $WAYLAND_DISPLAY takes (wlroots on
// sway, KWin on KDE Plasma) against the same command through the X11 backend on Xvfb,
// alternating within each iteration of the same run. Each server shows its target window with
// the logo at the same place, and every command must click it: the targets' click counts are
// checked at the end. Run it with a private compositor and a private Xvfb of that size:
//   RAVELKIN_TEST_SWAY=1920x1080 RAVELKIN_TEST_DISPLAY="1920x1080 none" scripts/lib/with-sway
//   scripts/lib/with-display build/bin/wayland_img_clk_bench
// or with KWin, which grants its protocols to the programs it is told of, or with GNOME, where
// no window places itself: RAVELKIN_BENCH_FULLSCREEN=WxH, the monitor's size, has the
// Wayland target fill the monitor and the X one at 0,0, the logo at the same place again
// (bench/wayland-bench.sh shows how).
// Counters: each backend's median time and the median of the per-iteration ratios
// wayland/x11; the label names the backends.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "base/trace.h"
#include "bench/race.h"
#include "engine/event_maker.h"
#include "examples/target_window/logo.h"
#include "platform/allocator_tuning.h"
#include "platform/native_desktop.h"
#include "platform/x11/x11_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

// Each click swaps the colour of the logo's frame, which scores it about 0.95: 90 finds it in
// either colour, so that every command clicks.
constexpr char kCommand[] = "IMG_CLK 1,0,0,1920,1080,90";

// A target window program started through the shell, whose lines we read.
class Target {
  public:
    // Starts the command and waits for its "ready" line; the focus may be told first.
    bool Start(const std::string& command) {
        pipe_ = popen(command.c_str(), "r");
        char line[128] = {};
        while (pipe_ && std::fgets(line, sizeof line, pipe_)) {
            if (std::string_view(line).starts_with("ready")) return true;
        }
        return false;
    }
    // The clicks the window has reported, waiting up to a few seconds for the count to reach
    // expected.
    int Clicks(int expected) {
        const int fd = fileno(pipe_);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (clicks_ < expected && std::chrono::steady_clock::now() < deadline) {
            pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
            if (poll(&ready, 1, 100) <= 0) continue;
            char buffer[4096];
            const ssize_t got = read(fd, buffer, sizeof buffer);
            if (got <= 0) break;
            pending_.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
                if (pending_.starts_with("click ")) ++clicks_;
                pending_.erase(0, end + 1);
            }
        }
        return clicks_;
    }

  private:
    std::FILE* pipe_ = nullptr;  // the window ends with its server; never closed
    std::string pending_;
    int clicks_ = 0;
};

Target wayland_target;
Target x11_target;

void BM_ImgClk_WaylandVsX11(benchmark::State& state) {
    // The backend the program chooses, which must be a Wayland one: it falls back to X11 only
    // where none serves the compositor.
    std::string error;
    std::unique_ptr<platform::Desktop> wayland = platform::OpenNativeDesktop(error);
    if (wayland && wayland->BackendName() == "x11") {
        error = "no Wayland backend serves the compositor of $WAYLAND_DISPLAY";
        wayland.reset();
    }
    auto x11 = platform::x11::X11Desktop::Open();
    if (!wayland || !x11.desktop) {
        state.SkipWithError((wayland ? x11.error : error).c_str());
        return;
    }
    int runs[2] = {0, 0};
    const auto img_clk = [](platform::Desktop& desktop, int& count) {
        CEvent_Maker engine(desktop);
        ++count;
        return engine.Execute(kCommand) == 0 && !engine.GetLog().empty();
    };
    bench::Race(state, {"wayland", "x11"},
                {[&] { return img_clk(*wayland, runs[0]); },
                 [&] { return img_clk(*x11.desktop, runs[1]); }});
    const int wayland_clicks = wayland_target.Clicks(runs[0]);
    const int x11_clicks = x11_target.Clicks(runs[1]);
    state.counters["wayland_clicks"] = wayland_clicks;
    state.counters["x11_clicks"] = x11_clicks;
    if (wayland_clicks != runs[0] || x11_clicks != runs[1]) {
        const std::string counts = "clicks on the logo: wayland " + std::to_string(wayland_clicks) +
                                   " of " + std::to_string(runs[0]) + ", x11 " +
                                   std::to_string(x11_clicks) + " of " + std::to_string(runs[1]);
        state.SkipWithError(counts.c_str());
    }
    state.SetLabel(wayland->BackendName() + " / " + x11.desktop->BackendName());
}
BENCHMARK(BM_ImgClk_WaylandVsX11)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const char* x_display = std::getenv("DISPLAY");
    const char* wayland_display = std::getenv("WAYLAND_DISPLAY");
    if (!x_display || !*x_display || !wayland_display || !*wayland_display) {
        std::fprintf(stderr,
                     "wayland_img_clk_bench: needs both $WAYLAND_DISPLAY and $DISPLAY; run it "
                     "under scripts/lib/with-sway scripts/lib/with-display\n");
        return 1;
    }
    trace::SetOutput(nullptr);
    platform::KeepLargeBlocksInHeap();  // as the program does at start-up
    // The target windows, beside this program, at the same place; each ends with its server.
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "Images");
    const char* fullscreen = std::getenv("RAVELKIN_BENCH_FULLSCREEN");
    const bool filled = fullscreen && *fullscreen;
    const std::string wayland_place =
        filled ? "--fullscreen --size '" + std::string(fullscreen) + "'" : "--position 900,600";
    const std::string x11_place = filled ? "--position 0,0" : "--position 900,600";
    if (!wayland_target.Start("exec '" + (beside / "ravelkin-wayland-target").string() + "' " +
                              wayland_place) ||
        !x11_target.Start("exec '" + (beside / "ravelkin-target").string() + "' " + x11_place) ||
        !target_logo::SaveLogo((dir.path() / "Images/1.bmp").string().c_str())) {
        std::fprintf(stderr, "wayland_img_clk_bench: a target window did not appear\n");
        return 1;
    }
    testing_support::ScopedCurrentDir cwd(dir.path());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
