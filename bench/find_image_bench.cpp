// FindImage against the recording desktop's screen picture, beside raw OpenCV doing the same
// work on the same pictures in the same run: copy the area out of the screen picture, read the
// template, match, find the best place. At the end a table gives FindImage's time as a ratio
// of the raw time (medians when the benchmarks are repeated). On a shared machine run e.g.
//   find_image_bench --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true
//                    --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "engine/event_maker.h"
#include "engine/trace.h"
#include "tests/vision/vision_support.h"
#include "vision/image_search.h"

namespace {

using testing_support::FakeDesktop;

struct Area {
    const char* name;
    platform::Rect rect;
};

const Area kAreas[] = {{"1920x1080", {0, 0, 1920, 1080}}, {"800x600", {560, 240, 1360, 840}}};
const int kTemplateSizes[] = {16, 64, 256};

// One screen and one working directory for the whole run; template N is the N x N patch at
// (900, 500), inside both areas.
struct Scene {
    FakeDesktop desktop;
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

void FindImageRun(benchmark::State& state, const Area& area, int size) {
    const std::string path = TemplatePath(size);
    CEvent_Maker engine;
    for (auto _ : state) {
        int x = 0;
        int y = 0;
        double score = 0;
        if (!engine.FindImage(&x, &y, &score, area.rect, path.c_str())) {
            state.SkipWithError("search failed");
            break;
        }
        benchmark::DoNotOptimize(score);
    }
}

void RawRun(benchmark::State& state, const Scene& scene, const Area& area, int size) {
    const std::string path = TemplatePath(size);
    const cv::Rect roi(area.rect.left, area.rect.top, area.rect.right - area.rect.left,
                       area.rect.bottom - area.rect.top);
    for (auto _ : state) {
        const cv::Mat picture = scene.screen(roi).clone();
        const cv::Mat templ = cv::imread(path, cv::IMREAD_ANYCOLOR);
        cv::Mat scores;
        cv::matchTemplate(picture, templ, scores, cv::TM_CCORR_NORMED);
        double best = 0;
        cv::Point at;
        cv::minMaxLoc(scores, nullptr, &best, nullptr, &at);
        benchmark::DoNotOptimize(best);
    }
}

// Prints as the console does, and keeps each case's time to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            Time& time = times_[run.run_name.function_name];
            if (median) {
                time.median = run.GetAdjustedRealTime();
            } else {
                time.sum += run.GetAdjustedRealTime();
                ++time.count;
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-22s %12s %12s %7s\n", "area/template", "raw ms", "FindImage ms", "ratio");
        for (const Area& area : kAreas) {
            for (const int size : kTemplateSizes) {
                const std::string key = std::string(area.name) + "/" + std::to_string(size);
                const double raw = times_["raw/" + key].Value();
                const double ours = times_["FindImage/" + key].Value();
                std::printf("%-22s %12.3f %12.3f %7.3f\n", key.c_str(), raw, ours, ours / raw);
            }
        }
    }

  private:
    struct Time {
        double median = -1;
        double sum = 0;
        int count = 0;
        double Value() const { return median >= 0 ? median : count ? sum / count : 0; }
    };
    std::map<std::string, Time> times_;
};

}  // namespace

int main(int argc, char** argv) {
    trace::SetOutput(nullptr);
    // One thread for both sides: the comparison then suffers less from other load.
    cv::setNumThreads(1);
    Scene scene;
    for (const Area& area : kAreas) {
        for (const int size : kTemplateSizes) {
            const std::string key = std::string(area.name) + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(("raw/" + key).c_str(),
                                         [&scene, &area, size](benchmark::State& state) {
                                             RawRun(state, scene, area, size);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(
                ("FindImage/" + key).c_str(),
                [&area, size](benchmark::State& state) { FindImageRun(state, area, size); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
