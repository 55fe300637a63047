// SPDX-License-Identifier: GPL-3.0-or-later
// Whole IMG_CLK commands (capture the screen, load the template, search, move, click) through
// the X11 backend at thresholds 90, 95 and 99, beside the same work with the exhaustive fast
// matcher and with raw X and OpenCV calls, all in the same iterations. The screen shows, in a
// window covering it, a generated picture or the screens captured from real programs (at
// 7680x2160 two 4K ones side by side); the template is the busiest 48 x 48 patch of it. Run it
// on a private display of the size wanted, without a window manager:
//   RAVELKIN_TEST_DISPLAY="7680x2160 none" scripts/lib/with-display build/bin/img_clk_bench
#include <benchmark/benchmark.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

// The test support (and GoogleTest in it) before any X header: X's macro None breaks it.
#include "tests/support/temp_dir.h"
#include "tests/vision/vision_support.h"

#include "base/trace.h"
#include "bench/race.h"
#include "engine/event_maker.h"
#include "platform/allocator_tuning.h"
#include "platform/x11/x11_desktop.h"
// X headers last: their macros (COUNT, None, Status) clash with OpenCV's names.
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace {

// A window over the whole screen, without a frame, that shows one picture at a time.
class Backdrop {
  public:
    explicit Backdrop(Display* display) : display_(display) {
        const int screen = DefaultScreen(display);
        size_ = {DisplayWidth(display, screen), DisplayHeight(display, screen)};
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        window_ = XCreateWindow(display, DefaultRootWindow(display), 0, 0, size_.width,
                                size_.height, 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect, &attributes);
        XMapRaised(display, window_);
        XSync(display, False);
    }
    ~Backdrop() { XDestroyWindow(display_, window_); }
    Backdrop(const Backdrop&) = delete;
    Backdrop& operator=(const Backdrop&) = delete;

    cv::Size size() const { return size_; }

    // Draws a BGR picture of the screen's size.
    void Show(const cv::Mat& bgr) {
        cv::Mat bgra;
        cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
        XImage* image = XCreateImage(display_, DefaultVisual(display_, DefaultScreen(display_)), 24,
                                     ZPixmap, 0, reinterpret_cast<char*>(bgra.data), bgra.cols,
                                     bgra.rows, 32, static_cast<int>(bgra.step));
        XPutImage(display_, window_, DefaultGC(display_, DefaultScreen(display_)), image, 0, 0, 0,
                  0, bgra.cols, bgra.rows);
        image->data = nullptr;  // the picture's own
        XDestroyImage(image);
        XSync(display_, False);
    }

  private:
    Display* display_;
    Window window_;
    cv::Size size_;
};

// The steps of IMG_CLK with the libraries called directly: XShmGetImage of the screen, a BGRA
// to BGR conversion, cv::imread, cv::matchTemplate, cv::minMaxLoc, an XTest move and click.
class RawImgClk {
  public:
    RawImgClk(Display* display, cv::Size size) : display_(display) {
        const int screen = DefaultScreen(display);
        image_ =
            XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                            ZPixmap, nullptr, &shm_, size.width, size.height);
        shm_.shmid = shmget(IPC_PRIVATE, image_->bytes_per_line * image_->height, IPC_CREAT | 0600);
        shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        XShmAttach(display, &shm_);
        XSync(display, False);
        shmctl(shm_.shmid, IPC_RMID, nullptr);
    }
    ~RawImgClk() {
        XShmDetach(display_, &shm_);
        XDestroyImage(image_);
        shmdt(shm_.shmaddr);
    }
    RawImgClk(const RawImgClk&) = delete;
    RawImgClk& operator=(const RawImgClk&) = delete;

    bool Run(double threshold) {
        XShmGetImage(display_, DefaultRootWindow(display_), image_, 0, 0, AllPlanes);
        const cv::Mat bgra(image_->height, image_->width, CV_8UC4, image_->data,
                           image_->bytes_per_line);
        cv::Mat bgr;
        cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
        const cv::Mat templ = cv::imread("Images/1.bmp", cv::IMREAD_ANYCOLOR);
        cv::Mat scores;
        cv::matchTemplate(bgr, templ, scores, cv::TM_CCORR_NORMED);
        double best = 0;
        cv::Point at;
        cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
        if (!(best * 100 > threshold)) return false;
        const int screen = DefaultScreen(display_);
        XTestFakeMotionEvent(display_, screen, at.x + templ.cols / 2, at.y + templ.rows / 2, 0);
        XTestFakeButtonEvent(display_, 1, True, 0);
        XTestFakeButtonEvent(display_, 1, False, 0);
        XSync(display_, False);
        return true;
    }

  private:
    Display* display_;
    XShmSegmentInfo shm_{};
    XImage* image_ = nullptr;
};

struct Bench {
    Display* display = nullptr;
    std::unique_ptr<Backdrop> backdrop;
    std::unique_ptr<platform::Desktop> desktop;
    std::unique_ptr<RawImgClk> raw;
};

// Shows the picture, makes its busiest patch the template, and races the three.
void ImgClk(benchmark::State& state, Bench& bench, const cv::Mat& picture, double threshold) {
    bench.backdrop->Show(picture);
    const cv::Rect patch = testing_support::SpreadPatch(picture, {48, 48}, true);
    if (!cv::imwrite("Images/1.bmp", picture(patch))) {
        state.SkipWithError("cannot write the template");
        return;
    }
    const cv::Size size = bench.backdrop->size();
    const std::string area =
        "0,0," + std::to_string(size.width) + "," + std::to_string(size.height);
    // IMG_CLK_F does IMG_CLK's work and fails when it finds nothing, which ends the race.
    const std::string line = "IMG_CLK_F 1," + area + "," + std::to_string(threshold);
    // One engine setting for every run, as a job keeps one matcher.
    const engine::RunSettings settings;
    bench::Race(state, {"ravelkin", "exhaustive", "raw_opencv"},
                {[&] {
                     CEvent_Maker engine(*bench.desktop, settings);
                     return engine.Execute(line) == 0;
                 },
                 [&] {
                     // The same steps with the search that scores every placement.
                     CEvent_Maker engine(*bench.desktop, settings);
                     int x = 0, y = 0;
                     double score = 0;
                     if (!engine.FindImage(&x, &y, &score, {0, 0, size.width, size.height},
                                           "Images/1.bmp") ||
                         !(score * 100 > threshold)) {
                         return false;
                     }
                     return engine.Execute("MOV " + std::to_string(x) + "," + std::to_string(y)) ==
                                0 &&
                            engine.Execute("CLK") == 0;
                 },
                 [&] { return bench.raw->Run(threshold); }});
}

}  // namespace

int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    // As the runner and the dialog do at start-up: captures then reuse their memory.
    platform::KeepLargeBlocksInHeap();
    Bench bench;
    bench.display = XOpenDisplay(nullptr);
    auto opened = platform::x11::X11Desktop::Open();
    if (!bench.display || !opened.desktop) {
        std::fprintf(stderr, "img_clk_bench: no display (is $DISPLAY set?)\n");
        return 1;
    }
    bench.backdrop = std::make_unique<Backdrop>(bench.display);
    bench.desktop = std::move(opened.desktop);
    const cv::Size size = bench.backdrop->size();
    bench.raw = std::make_unique<RawImgClk>(bench.display, size);
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "Images");
    testing_support::ScopedCurrentDir cwd(dir.path());

    // The pictures for this screen size: generated, and the real screens that fill it.
    std::vector<std::pair<std::string, cv::Mat>> pictures = {
        {"random", testing_support::NaturalPicture(size.width, size.height)}};
    const auto real = [&](const std::string& name, const cv::Mat& picture) {
        if (picture.size() == size) pictures.emplace_back("real/" + name, picture);
    };
    for (const char* name :
         {"hd-terminals", "hd-dialogs", "hd-browser", "4k-desktop", "4k-browser"}) {
        real(name, testing_support::RealScreen(name));
    }
    const cv::Mat left = testing_support::RealScreen("4k-desktop");
    const cv::Mat right = testing_support::RealScreen("4k-browser");
    if (!left.empty() && !right.empty()) {
        cv::Mat two;
        cv::hconcat(left, right, two);
        real("two-4k", two);
    }
    for (const auto& [name, picture] : pictures) {
        for (const double threshold : {90.0, 95.0, 99.0}) {
            const std::string title = "ImgClk/" + std::to_string(size.width) + "x" +
                                      std::to_string(size.height) + "/" + name + "/" +
                                      std::to_string(static_cast<int>(threshold));
            benchmark::RegisterBenchmark(title.c_str(),
                                         [&bench, &picture, threshold](benchmark::State& s) {
                                             ImgClk(s, bench, picture, threshold);
                                         })
                ->Iterations(size.area() > 3e6 ? 7 : 15)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench.raw.reset();
    bench.backdrop.reset();
    XCloseDisplay(bench.display);
    return 0;
}
