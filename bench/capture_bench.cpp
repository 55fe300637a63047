// SPDX-License-Identifier: GPL-3.0-or-later
// Screen capture through the X11 backend against raw XShmGetImage and XGetImage on the same
// server in the same run, alternating within each iteration, on the display of $DISPLAY. Run
// it on a private one:
//   RAVELKIN_TEST_DISPLAY="1920x1080 none" scripts/lib/with-display
//   build/bin/capture_bench

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>

#include "bench/race.h"
#include "platform/allocator_tuning.h"
#include "platform/x11/x11_desktop.h"
#include "vision/capture_desktop.h"

namespace {

using platform::x11::CaptureMethod;
using platform::x11::X11Desktop;

// A segment the server writes the area into, as a program doing the least would hold it.
class RawShm {
  public:
    RawShm(Display* display, int width, int height) : display_(display) {
        const int screen = DefaultScreen(display);
        image_ =
            XShmCreateImage(display, DefaultVisual(display, screen),
                            static_cast<unsigned>(DefaultDepth(display, screen)), ZPixmap, nullptr,
                            &info_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        info_.shmid = shmget(
            IPC_PRIVATE,
            static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(height),
            IPC_CREAT | 0600);
        info_.shmaddr = image_->data = static_cast<char*>(shmat(info_.shmid, nullptr, 0));
        XShmAttach(display, &info_);
        XSync(display, False);
        shmctl(info_.shmid, IPC_RMID, nullptr);
    }
    ~RawShm() {
        XShmDetach(display_, &info_);
        XSync(display_, False);
        shmdt(info_.shmaddr);
        image_->data = nullptr;
        XDestroyImage(image_);
    }
    RawShm(const RawShm&) = delete;
    RawShm& operator=(const RawShm&) = delete;

    bool Grab() {
        const bool ok =
            XShmGetImage(display_, DefaultRootWindow(display_), image_, 0, 0, AllPlanes);
        benchmark::DoNotOptimize(image_->data);
        return ok;
    }
    const XImage& image() const { return *image_; }

  private:
    Display* display_;
    XShmSegmentInfo info_{};
    XImage* image_ = nullptr;
};

// The backend's copy beside the raw server calls for the same area, in the same iterations;
// into_picture goes on to the picture the matcher searches, against the raw copy converted to
// three-byte pixels by OpenCV.
void Capture(benchmark::State& state, CaptureMethod method, int width, int height,
             bool into_picture) {
    auto opened = X11Desktop::Open({.display_name = nullptr, .capture = method});
    Display* raw_display = XOpenDisplay(nullptr);
    if (!opened.desktop || !raw_display) {
        state.SkipWithError(opened.desktop ? "no display" : opened.error.c_str());
        if (raw_display) XCloseDisplay(raw_display);
        return;
    }
    X11Desktop& desktop = *opened.desktop;
    const bool shm = method == CaptureMethod::kAuto;
    if (shm && std::string(desktop.capture_method()) != "MIT-SHM") {
        state.SkipWithError("no MIT-SHM");
        XCloseDisplay(raw_display);
        return;
    }
    {
        std::optional<RawShm> segment;
        if (shm) segment.emplace(raw_display, width, height);
        // The raw way's pixels; XGetImage makes a new image each time.
        const auto raw = [&](const std::function<void(const XImage&)>& use) {
            if (shm) {
                if (!segment->Grab()) return false;
                use(segment->image());
                return true;
            }
            XImage* image = XGetImage(raw_display, DefaultRootWindow(raw_display), 0, 0,
                                      static_cast<unsigned>(width), static_cast<unsigned>(height),
                                      AllPlanes, ZPixmap);
            if (!image) return false;
            use(*image);
            XDestroyImage(image);
            return true;
        };
        const auto to_picture = [&](const XImage& image) {
            const cv::Mat padded(height, width, CV_8UC4, image.data,
                                 static_cast<std::size_t>(image.bytes_per_line));
            cv::Mat picture;
            cv::cvtColor(padded, picture, cv::COLOR_BGRA2BGR);
            benchmark::DoNotOptimize(picture.data);
        };
        platform::Bitmap copy;
        cv::Mat picture;
        if (!into_picture) {
            bench::Race(state, {"backend", "raw"},
                        {[&] {
                             const bool ok = desktop.CopyScreen(0, 0, width, height, copy);
                             benchmark::DoNotOptimize(copy.data());
                             return ok;
                         },
                         [&] { return raw([](const XImage&) {}); }},
                        true);
        } else {
            bench::Race(state, {"backend_picture", "raw_picture"},
                        {[&] {
                             return desktop.CopyScreen(0, 0, width, height, copy) &&
                                    vision::ConvertToMat(&picture, copy) == 1;
                         },
                         [&] { return raw(to_picture); }},
                        true);
        }
        state.SetLabel(desktop.capture_method());
    }
    XCloseDisplay(raw_display);
}

void Register() {
    for (const bool into_picture : {false, true}) {
        for (const auto method : {CaptureMethod::kAuto, CaptureMethod::kGetImage}) {
            for (const auto& [width, height] : {std::pair{1920, 1080}, {400, 300}}) {
                const std::string name = std::string(into_picture ? "Picture/" : "Copy/") +
                                         (method == CaptureMethod::kAuto ? "Shm/" : "GetImage/") +
                                         std::to_string(width) + "x" + std::to_string(height);
                const bool slow = width > 1000 && method == CaptureMethod::kGetImage;
                benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& s) {
                    Capture(s, method, width, height, into_picture);
                })->Iterations(slow ? 30 : 300);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "capture_bench: no $DISPLAY; run it under scripts/lib/with-display\n");
        return 1;
    }
    platform::KeepLargeBlocksInHeap();  // as the program does at start-up
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
