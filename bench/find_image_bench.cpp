// FindImage against the recording desktop's screen picture, beside raw OpenCV doing the same
// work on the same pictures in the same run: copy the area out of the screen picture, read the
// template, match, find the best place. Each iteration times one raw search and one FindImage,
// in alternating order, so that load from elsewhere on the machine falls on both alike; the
// counters give the median time of each and the median of FindImage's time over the raw time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "tests/vision/vision_support.h"
#include "vision/image_search.h"

namespace {

struct Area {
    const char* name;
    platform::Rect rect;
    int iterations;
};

const Area kAreas[] = {{"1920x1080", {0, 0, 1920, 1080}, 15},
                       {"800x600", {560, 240, 1360, 840}, 41}};
const int kTemplateSizes[] = {16, 64, 256};

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

double RawSearch(const cv::Mat& screen, const platform::Rect& area, const std::string& path) {
    const cv::Rect roi(area.left, area.top, area.right - area.left, area.bottom - area.top);
    const cv::Mat picture = screen(roi).clone();
    const cv::Mat templ = cv::imread(path, cv::IMREAD_ANYCOLOR);
    cv::Mat scores;
    cv::matchTemplate(picture, templ, scores, cv::TM_CCORR_NORMED);
    double best = 0;
    cv::Point at;
    cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
    return best;
}

// Processor time of the process, in which only this thread works: time spent waiting while
// other programs run on the machine does not count.
template <typename Work>
double Milliseconds(Work work) {
    const std::clock_t start = std::clock();
    work();
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

void Compare(benchmark::State& state, const Scene& scene, const Area& area, int size) {
    const std::string path = TemplatePath(size);
    CEvent_Maker engine;
    std::vector<double> raw_ms;
    std::vector<double> find_ms;
    for (auto _ : state) {
        const auto raw = [&] {
            benchmark::DoNotOptimize(RawSearch(scene.screen, area.rect, path));
        };
        const auto find = [&] {
            int x = 0;
            int y = 0;
            double score = 0;
            if (!engine.FindImage(&x, &y, &score, area.rect, path.c_str())) {
                state.SkipWithError("search failed");
            }
            benchmark::DoNotOptimize(score);
        };
        if (raw_ms.size() % 2 == 0) {
            raw_ms.push_back(Milliseconds(raw));
            find_ms.push_back(Milliseconds(find));
        } else {
            find_ms.push_back(Milliseconds(find));
            raw_ms.push_back(Milliseconds(raw));
        }
    }
    if (raw_ms.empty()) return;
    state.counters["raw_ms"] = Median(raw_ms);
    state.counters["FindImage_ms"] = Median(find_ms);
    // The median of the ratios within each pair: drift over the run cancels out.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < raw_ms.size(); ++i) ratios.push_back(find_ms[i] / raw_ms[i]);
    state.counters["ratio"] = Median(ratios);
}

}  // namespace

int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    // One thread for both sides: other load on the machine then disturbs the comparison less.
    cv::setNumThreads(1);
    Scene scene;
    for (const Area& area : kAreas) {
        for (const int size : kTemplateSizes) {
            const std::string name =
                std::string("FindImage_vs_raw/") + area.name + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(name.c_str(),
                                         [&scene, &area, size](benchmark::State& state) {
                                             Compare(state, scene, area, size);
                                         })
                ->Iterations(area.iterations)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
