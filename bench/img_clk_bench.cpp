// SPDX-License-Identifier: GPL-3.0-or-later
// One whole IMG_CLK command (capture a 1920x1080 screen, load the template, match, move,
// click) through the X11 backend, beside the same work done with raw X and OpenCV calls in
// the same run, on the display of $DISPLAY with the target window. Run it on a private one:
//   RAVELKIN_TEST_DISPLAY="1920x1080 none" scripts/lib/with-display
//   build/bin/img_clk_bench
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "examples/target_window/logo.h"
#include "platform/x11/x11_desktop.h"
#include "tests/support/temp_dir.h"
// X headers last: their macros (COUNT, None, Status) clash with OpenCV's names.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace {

constexpr char kCommand[] = "IMG_CLK 1,0,0,1920,1080,95";

void BM_ImgClk_Ravelkin(benchmark::State& state) {
    auto opened = platform::x11::X11Desktop::Open();
    if (!opened.desktop) {
        state.SkipWithError(opened.error.c_str());
        return;
    }
    for (auto _ : state) {
        CEvent_Maker engine(*opened.desktop);
        if (engine.Execute(kCommand) != 0 || engine.GetLog().empty()) {
            state.SkipWithError("IMG_CLK failed");
            break;
        }
    }
}

// The same steps with the libraries called directly: XShmGetImage of the screen, a BGRA to
// BGR conversion, cv::imread, cv::matchTemplate, cv::minMaxLoc, an XTest move and click.
void BM_ImgClk_Raw(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    const int screen = DefaultScreen(display);
    XShmSegmentInfo shm{};
    XImage* image =
        XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                        ZPixmap, nullptr, &shm, 1920, 1080);
    shm.shmid = shmget(IPC_PRIVATE, image->bytes_per_line * image->height, IPC_CREAT | 0600);
    shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    XShmAttach(display, &shm);
    XSync(display, False);
    shmctl(shm.shmid, IPC_RMID, nullptr);
    for (auto _ : state) {
        XShmGetImage(display, DefaultRootWindow(display), image, 0, 0, AllPlanes);
        const cv::Mat bgra(1080, 1920, CV_8UC4, image->data, image->bytes_per_line);
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        const cv::Mat templ = cv::imread("Images/1.bmp", cv::IMREAD_ANYCOLOR);
        cv::Mat scores;
        cv::matchTemplate(bgr, templ, scores, cv::TM_CCORR_NORMED);
        double best = 0;
        cv::Point at;
        cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
        XTestFakeMotionEvent(display, screen, at.x + templ.cols / 2, at.y + templ.rows / 2, 0);
        XTestFakeButtonEvent(display, 1, True, 0);
        XTestFakeButtonEvent(display, 1, False, 0);
        XSync(display, False);
    }
    XShmDetach(display, &shm);
    XDestroyImage(image);
    shmdt(shm.shmaddr);
    XCloseDisplay(display);
}

BENCHMARK(BM_ImgClk_Raw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImgClk_Ravelkin)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    // The target window, beside this program; it ends with the display.
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string start =
        "exec '" + (beside / "ravelkin-target").string() + "' --position 900,600";
    std::FILE* target = popen(start.c_str(), "r");
    char ready[64] = {};
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "Images");
    if (!target || !std::fgets(ready, sizeof ready, target) ||
        !std::string_view(ready).starts_with("ready") ||
        !target_logo::SaveLogo((dir.path() / "Images/1.bmp").string().c_str())) {
        std::fprintf(stderr, "img_clk_bench: no target window (is $DISPLAY set?)\n");
        return 1;
    }
    testing_support::ScopedCurrentDir cwd(dir.path());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
