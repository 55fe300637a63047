// SPDX-License-Identifier: GPL-3.0-or-later
// Template matching on the recording desktop's screen picture: the fast matcher beside
// cv::matchTemplate, first with glibc's default heap, then with large blocks kept in the heap
// as the program keeps them, and whole IMG_CLK commands (capture, load, match, move, click).
// Then searches against a threshold (90, 95, 99), as image commands make them, beside the
// exhaustive fast matcher and cv::matchTemplate with cv::minMaxLoc: on generated screens of
// 1920x1080, 3840x2160 and 7680x2160, on the screens captured from real programs (two 4K ones
// side by side make the 7680x2160 one), and on the worst cases for the bounds: a flat screen,
// a row of identical buttons, and a template from another screen, which is not there.
// Each iteration times the contenders once each, in alternating order, so that load from
// elsewhere on the machine falls on all alike; the counters give the median wall and
// processor time of each (milliseconds) and the median of the per-iteration ratios of wall
// time.
//
//   find_image_bench [--calibrate] [benchmark flags]
//
// --calibrate instead times single FFT tiles and direct sums, the measurements the fast
// matcher's cost model is fitted to.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/trace.h"
#include "bench/race.h"
#include "engine/event_maker.h"
#include "platform/allocator_tuning.h"
#include "tests/vision/vision_support.h"
#include "vision/matcher/correlation_choice.h"
#include "vision/matcher/direct_correlator.h"
#include "vision/matcher/fft_correlator.h"
#include "vision/matcher/matcher.h"
#include "vision/matcher/pruned_search.h"
#include "vision/template_path.h"

namespace {

struct Area {
    const char* name;
    platform::Rect rect;
    int iterations;
};

const Area kAreas[] = {{"1920x1080", {0, 0, 1920, 1080}, 15},
                       {"800x600", {560, 240, 1360, 840}, 31}};
const int kTemplateSizes[] = {16, 64, 128, 256};

// One screen and one working directory for the whole run; template N is the N x N patch at
// (900, 500), inside both areas.
struct Scene {
    testing_support::FakeDesktop desktop;
    cv::Mat screen = testing_support::NaturalPicture(1920, 1080);
    testing_support::TempDir dir;
    testing_support::ScopedCurrentDir cwd{dir.path()};

    Scene() {
        testing_support::ShowOnScreen(desktop, screen);
        for (const int size : kTemplateSizes) {
            testing_support::WriteTemplate(dir, size, screen(cv::Rect(900, 500, size, size)));
        }
    }
};

bool g_heap_tuned = false;

struct Pictures {
    cv::Mat picture;
    cv::Mat templ;
};

Pictures Load(Scene& scene, const Area& area, int size) {
    Pictures p;
    CEvent_Maker(scene.desktop).CaptureDesktop(&p.picture, area.rect);
    p.templ = cv::imread(vision::TemplatePath(size), cv::IMREAD_ANYCOLOR);
    return p;
}

// The fast matcher keeps its workspace across the iterations, as a job's matcher does.
std::vector<std::function<bool()>> Matchers(const Pictures& p, vision::FastMatcher& fast) {
    return {[&p] {
                vision::Placement best;
                vision::OpenCvMatch(p.picture, p.templ, &best);
                benchmark::DoNotOptimize(best);
                return true;
            },
            [&p, &fast] {
                vision::Placement best;
                const bool found = fast.Match(p.picture, p.templ, &best);
                benchmark::DoNotOptimize(best);
                return found;
            }};
}

// glibc's own heap settings: OpenCV's large blocks are mapped and unmapped on every call.
// Runs before any tuned benchmark, since the tuning cannot be undone.
void MatchDefaultHeap(benchmark::State& state, Scene& scene, const Area& area, int size) {
    if (g_heap_tuned) {
        state.SkipWithError("run the default-heap benchmarks before the tuned ones");
        return;
    }
    const Pictures p = Load(scene, area, size);
    vision::FastMatcher fast;
    bench::Race(state, {"opencv_default_heap", "fast_default_heap"}, Matchers(p, fast));
}

void MatchTunedHeap(benchmark::State& state, Scene& scene, const Area& area, int size) {
    if (!g_heap_tuned) g_heap_tuned = platform::KeepLargeBlocksInHeap();
    const Pictures p = Load(scene, area, size);
    vision::FastMatcher fast;
    bench::Race(state, {"opencv", "fast"}, Matchers(p, fast));
}

// The whole command on a fresh engine each time, as a script line runs, with one matcher of
// each kind for all, as a job has.
void ImgClk(benchmark::State& state, Scene& scene, const Area& area, int size) {
    if (!g_heap_tuned) g_heap_tuned = platform::KeepLargeBlocksInHeap();
    const platform::Rect& r = area.rect;
    const std::string line = "IMG_CLK " + std::to_string(size) + "," + std::to_string(r.left) +
                             "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                             std::to_string(r.bottom) + ",90";
    const engine::RunSettings opencv{
        std::make_shared<vision::Matcher>(vision::MatcherKind::kOpenCv)};
    const engine::RunSettings fast;
    const auto run = [&](const engine::RunSettings& settings) {
        scene.desktop.events.clear();
        CEvent_Maker engine(scene.desktop, settings);
        // Found and clicked: a move, a press and a release.
        return engine.Execute(line) == 0 && scene.desktop.events.size() == 3;
    };
    bench::Race(state, {"img_clk_opencv", "img_clk_fast"},
                {[&] { return run(opencv); }, [&] { return run(fast); }});
}

// A screen and the template looked for on it.
struct Search {
    std::string name;
    cv::Mat screen;
    cv::Mat templ;
};

// The busiest 48 x 48 patch of each real screen (a button or text), and of generated screens
// the 64 x 64 patch at (900, 500).
std::vector<Search> Searches() {
    std::vector<Search> searches;
    for (const auto& [width, height] : {std::pair(1920, 1080), {3840, 2160}, {7680, 2160}}) {
        cv::Mat screen = testing_support::NaturalPicture(width, height);
        cv::Mat templ = screen(cv::Rect(900, 500, 64, 64)).clone();
        searches.push_back(
            {"random/" + std::to_string(width) + "x" + std::to_string(height), screen, templ});
    }
    const auto real = [&](const std::string& name, const cv::Mat& screen) {
        if (screen.empty()) return;
        const cv::Mat templ = screen(testing_support::SpreadPatch(screen, {48, 48}, true)).clone();
        searches.push_back({"real/" + name, screen, templ});
    };
    for (const char* name : {"hd-terminals", "hd-dialogs", "hd-browser", "4k-desktop"}) {
        real(name, testing_support::RealScreen(name));
    }
    cv::Mat two;
    const cv::Mat left = testing_support::RealScreen("4k-desktop");
    const cv::Mat right = testing_support::RealScreen("4k-browser");
    real("4k-browser", right);
    if (!left.empty() && !right.empty()) cv::hconcat(left, right, two);
    real("two-4k", two);
    const cv::Mat flat(1080, 1920, CV_8UC3, cv::Scalar(200, 180, 160));
    searches.push_back({"worst/flat", flat, flat(cv::Rect(0, 0, 48, 48)).clone()});
    const cv::Mat dialogs = testing_support::RealScreen("hd-dialogs");
    if (!dialogs.empty()) {
        cv::Mat buttons = dialogs.clone();
        const cv::Rect button = testing_support::SpreadPatch(dialogs, {40, 24}, true);
        for (int i = 0; i < 12; ++i) {
            dialogs(button).copyTo(buttons(cv::Rect(cv::Point(200 + 60 * i, 900), button.size())));
        }
        searches.push_back({"worst/buttons", buttons, dialogs(button).clone()});
        // A picture that is not there, as a script waiting for it sees the screen.
        const cv::Mat browser = testing_support::RealScreen("hd-browser");
        if (!browser.empty()) {
            const cv::Rect elsewhere = testing_support::SpreadPatch(browser, {48, 48}, true);
            searches.push_back({"worst/absent", dialogs, browser(elsewhere).clone()});
        }
    }
    return searches;
}

// One search against a threshold by the fast matcher, which bounds the scores first, beside
// its exhaustive search and cv::matchTemplate; all three must agree on the verdict.
void Threshold(benchmark::State& state, const Search& search, double threshold) {
    if (!g_heap_tuned) g_heap_tuned = platform::KeepLargeBlocksInHeap();
    vision::FastMatcher pruned, exhaustive;
    vision::Verdict first = vision::Verdict::kBelow;
    vision::Placement best;
    if (!pruned.FindAbove(search.screen, search.templ, threshold, &best, &first)) {
        state.SkipWithError("no search");
        return;
    }
    const bool verdict = first == vision::Verdict::kAbove;
    const auto agrees = [&](double score) {
        return vision::ScoreAccepted(score, threshold) == verdict;
    };
    bench::Race(
        state, {"pruned", "fast", "opencv"},
        {[&] {
             vision::Verdict again = vision::Verdict::kBelow;
             return pruned.FindAbove(search.screen, search.templ, threshold, &best, &again) &&
                    (again == vision::Verdict::kAbove) == verdict;
         },
         [&] {
             vision::Placement all;
             return exhaustive.Match(search.screen, search.templ, &all) && agrees(all.score);
         },
         [&] {
             vision::Placement all;
             vision::OpenCvMatch(search.screen, search.templ, &all);
             return agrees(all.score);
         }});
    state.counters["found"] = verdict;
    // The work the bounds left, counted: placements past the whole window's bound, exact
    // scores, and whether the search handed over to the exhaustive one.
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const vision::PruningChoice choice = vision::ChoosePruning(
        search.screen.size(), search.templ.size(), threshold, cores,
        vision::ChooseCorrelation(search.screen.size(), search.templ.size(), cores));
    if (choice.worth && vision::PrunedSearch::Fits(search.templ.size())) {
        vision::PrunedSearch counted;
        counted.Reserve(choice.workers, search.screen.size(), search.templ.size());
        const auto outcome = counted.Run(search.screen, search.templ, threshold, choice.workers,
                                         choice.budget, &best);
        state.counters["bounded"] = static_cast<double>(counted.bounded());
        state.counters["scored"] = static_cast<double>(counted.scored());
        state.counters["handed_over"] = outcome == vision::PrunedSearch::Outcome::kTooMany;
    }
}

// Processor time of this thread: the calibration runs on one thread, and time other programs
// take from the machine does not count.
double ThreadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

// One FFT tile of the given size, in nanoseconds per tile (the lower quartile).
void TileCost(benchmark::State& state, const cv::Mat& picture, cv::Size tile) {
    const cv::Mat templ = picture(cv::Rect(0, 0, 8, 8)).clone();
    vision::FftCorrelator correlator;
    if (!correlator.Setup(picture, templ, tile)) {
        state.SkipWithError("no plan");
        return;
    }
    correlator.PrepareWorkers(1);
    const cv::Size block = correlator.BlockSize();
    std::vector<double> ms;
    for (auto _ : state) {
        const double start = ThreadMilliseconds();
        benchmark::DoNotOptimize(correlator.Correlate(0, 0, 0, block));
        ms.push_back(ThreadMilliseconds() - start);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["tile_ns"] = ms[ms.size() / 4] * 1e6;
    state.counters["ns_per_element"] = ms[ms.size() / 4] * 1e6 / tile.area();
}

// Direct sums for one band of four rows of placements across a full HD picture, in
// nanoseconds per placement and per product.
void DirectCost(benchmark::State& state, const cv::Mat& picture, cv::Size templ_size) {
    const cv::Mat templ = picture(cv::Rect(cv::Point(0, 0), templ_size)).clone();
    vision::DirectCorrelator correlator;
    correlator.Setup(picture, templ, 4);
    correlator.PrepareWorkers(1);
    std::vector<double> ms;
    for (auto _ : state) {
        const double start = ThreadMilliseconds();
        benchmark::DoNotOptimize(correlator.Correlate(0, 0, 0, correlator.BlockSize()));
        ms.push_back(ThreadMilliseconds() - start);
    }
    std::sort(ms.begin(), ms.end());
    const double per_placement = ms[ms.size() / 4] * 1e6 / correlator.BlockSize().area();
    state.counters["ns_per_placement"] = per_placement;
    state.counters["ns_per_product"] = per_placement / (3.0 * templ_size.area());
}

void RegisterCalibration(const cv::Mat& picture) {
    const int sides[] = {32, 64, 128, 160, 256, 320, 384, 512, 640, 768, 1024, 1280, 1536, 2048};
    for (const int height : sides) {
        for (const int width : sides) {
            if (width < height || width > 4 * height) continue;
            const cv::Size tile(width, height);
            const std::string name =
                "TileCost/" + std::to_string(width) + "x" + std::to_string(height);
            benchmark::RegisterBenchmark(name.c_str(), [&picture, tile](benchmark::State& s) {
                TileCost(s, picture, tile);
            })->Iterations(std::clamp(static_cast<int>(4e7 / tile.area()), 5, 2000));
        }
    }
    for (const cv::Size templ : {cv::Size(1, 1), cv::Size(4, 4), cv::Size(16, 16), cv::Size(64, 64),
                                 cv::Size(5, 40), cv::Size(200, 3)}) {
        const std::string name =
            "DirectCost/" + std::to_string(templ.width) + "x" + std::to_string(templ.height);
        benchmark::RegisterBenchmark(name.c_str(), [&picture, templ](benchmark::State& s) {
            DirectCost(s, picture, templ);
        })->Iterations(std::clamp(static_cast<int>(3e6 / templ.area()), 3, 200));
    }
}

}  // namespace

int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    const bool calibrate = std::find_if(argv + 1, argv + argc, [](const char* a) {
                               return std::strcmp(a, "--calibrate") == 0;
                           }) != argv + argc;
    argc = static_cast<int>(
        std::remove_if(argv + 1, argv + argc,
                       [](const char* a) { return std::strcmp(a, "--calibrate") == 0; }) -
        argv);
    Scene scene;
    cv::Mat large;
    std::vector<Search> searches;
    if (calibrate) {
        large = testing_support::NaturalPicture(8300, 2100);
        RegisterCalibration(large);
    } else {
        const auto each = [&](const char* family, auto run) {
            for (const Area& area : kAreas) {
                for (const int size : kTemplateSizes) {
                    const std::string name =
                        std::string(family) + "/" + area.name + "/" + std::to_string(size);
                    benchmark::RegisterBenchmark(
                        name.c_str(),
                        [run, &scene, &area, size](benchmark::State& state) {
                            run(state, scene, area, size);
                        })
                        ->Iterations(area.iterations)
                        ->Unit(benchmark::kMillisecond)
                        ->UseRealTime();
                }
            }
        };
        // Registered first: they must run before the heap is tuned.
        each("MatchDefaultHeap", MatchDefaultHeap);
        each("Match", MatchTunedHeap);
        each("ImgClk", ImgClk);
        searches = Searches();
        for (const Search& search : searches) {
            for (const double threshold : {90.0, 95.0, 99.0}) {
                const std::string name =
                    "Threshold/" + search.name + "/" + std::to_string(static_cast<int>(threshold));
                benchmark::RegisterBenchmark(name.c_str(),
                                             [&search, threshold](benchmark::State& state) {
                                                 Threshold(state, search, threshold);
                                             })
                    ->Iterations(search.screen.total() > 3e6 ? 5 : 11)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
