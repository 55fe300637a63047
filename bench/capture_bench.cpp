// Screen capture through the X11 backend against raw XShmGetImage and XGetImage on the same
// server in the same run. Starts a private 1920x1080x24 Xvfb when DISPLAY is unset.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>

#include "platform/x11/x11_desktop.h"
#include "tests/x11/x_server.h"

namespace {

using platform::x11::CaptureMethod;
using platform::x11::X11Desktop;

void BackendCapture(benchmark::State& state, CaptureMethod method) {
    auto opened = X11Desktop::Open({.display_name = nullptr, .capture = method});
    if (!opened.desktop) {
        state.SkipWithError(opened.error.c_str());
        return;
    }
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto height = static_cast<std::int32_t>(state.range(1));
    platform::Bitmap24 copy;
    for (auto _ : state) {
        if (!opened.desktop->CopyScreen(0, 0, width, height, copy)) {
            state.SkipWithError("CopyScreen failed");
            return;
        }
        benchmark::DoNotOptimize(copy.bytes.data());
    }
    state.SetLabel(opened.desktop->capture_method());
}

void BM_Backend_Auto(benchmark::State& state) {
    BackendCapture(state, CaptureMethod::kAuto);
}
void BM_Backend_GetImage(benchmark::State& state) {
    BackendCapture(state, CaptureMethod::kGetImage);
}

// The floor: the server writing the area into a segment we already share, nothing else.
void BM_Raw_XShmGetImage(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (!display || !XShmQueryExtension(display)) {
        state.SkipWithError("no MIT-SHM");
        if (display) XCloseDisplay(display);
        return;
    }
    const int screen = DefaultScreen(display);
    const auto width = static_cast<unsigned>(state.range(0));
    const auto height = static_cast<unsigned>(state.range(1));
    XShmSegmentInfo info{};
    XImage* image = XShmCreateImage(display, DefaultVisual(display, screen),
                                    static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap,
                                    nullptr, &info, width, height);
    info.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * height,
                        IPC_CREAT | 0600);
    info.shmaddr = image->data = static_cast<char*>(shmat(info.shmid, nullptr, 0));
    XShmAttach(display, &info);
    XSync(display, False);
    shmctl(info.shmid, IPC_RMID, nullptr);
    for (auto _ : state) {
        if (!XShmGetImage(display, RootWindow(display, screen), image, 0, 0, AllPlanes)) {
            state.SkipWithError("XShmGetImage failed");
            break;
        }
        benchmark::DoNotOptimize(image->data);
    }
    XShmDetach(display, &info);
    XSync(display, False);
    shmdt(info.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    XCloseDisplay(display);
}

void BM_Raw_XGetImage(benchmark::State& state) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    const auto width = static_cast<unsigned>(state.range(0));
    const auto height = static_cast<unsigned>(state.range(1));
    for (auto _ : state) {
        XImage* image =
            XGetImage(display, DefaultRootWindow(display), 0, 0, width, height, AllPlanes, ZPixmap);
        benchmark::DoNotOptimize(image);
        if (image) XDestroyImage(image);
    }
    XCloseDisplay(display);
}

void Areas(benchmark::internal::Benchmark* b) {
    b->Args({1920, 1080})->Args({400, 300})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Raw_XShmGetImage)->Apply(Areas);
BENCHMARK(BM_Backend_Auto)->Apply(Areas);
BENCHMARK(BM_Raw_XGetImage)->Apply(Areas);
BENCHMARK(BM_Backend_GetImage)->Apply(Areas);

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<x11_testing::XServer> server;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::string error;
        server = x11_testing::XServer::Start(1920, 1080, false, &error);
        if (!server) {
            std::fprintf(stderr, "capture_bench: %s\n", error.c_str());
            return 1;
        }
        setenv("DISPLAY", server->name().c_str(), 1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
