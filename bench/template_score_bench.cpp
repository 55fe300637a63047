// SPDX-License-Identifier: GPL-3.0-or-later
// What the recorder pays for each click: the smallest square cut around the click point whose
// best rival on the whole screen scores at most 95 %, growing the cut until one does. With
// ScoreTemplate as the recorder calls it (a rival above 95 % looked for in the search area; for
// a cut without one, the rest of the screen searched by the pruned search for rivals above the
// best one there; the matcher's buffers kept from one cut to the next) beside the way the
// recorder did it before: the search area, then every placement's score on the whole screen,
// each on a matcher of its own. Screens captured from real programs,
// points on buttons, list entries, words and fields.
//
//   template_score_bench [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "app/runner/template_capture.h"
#include "bench/race.h"
#include "tests/vision/vision_support.h"
#include "vision/matcher/fast_matcher.h"

namespace {

struct Click {
    const char* screen;
    const char* what;
    cv::Point at;
};

const Click kClicks[] = {
    {"hd-dialogs", "calculator 7", {112, 324}},
    {"hd-dialogs", "OK", {794, 175}},
    {"hd-dialogs", "Yes", {814, 415}},
    {"hd-dialogs", "list entry", {961, 175}},
    {"hd-browser", "button", {352, 893}},
    {"hd-browser", "menu", {405, 115}},
    {"hd-browser", "table cell", {587, 494}},
    {"hd-browser", "reload", {99, 62}},
    {"hd-terminals", "word", {686, 353}},
    {"hd-terminals", "close box", {1870, 829}},
    {"hd-terminals", "licence text", {1319, 171}},
};
const int kHalfSides[] = {6, 8, 12, 16, 24, 32, 48, 64, 96, 128};
constexpr double kMostRunnerUp = 0.95;

// The best rival of the cut on a part of the screen: every placement's score on a matcher of
// its own, then a walk over all of them.
bool EveryPlacement(const cv::Mat& screen, const cv::Rect& part, const cv::Rect& cut,
                    double* runner_up) {
    vision::Placement best;
    cv::Mat scores;
    if (!vision::FastMatch(screen(part), screen(cut), &best, &scores)) return false;
    *runner_up = 0;
    for (int y = 0; y < scores.rows; ++y) {
        for (int x = 0; x < scores.cols; ++x) {
            if (2 * std::abs(x + part.x - cut.x) < cut.width &&
                2 * std::abs(y + part.y - cut.y) < cut.height) {
                continue;
            }
            *runner_up = std::max(*runner_up, scores.at<double>(y, x));
        }
    }
    return true;
}

// The way the recorder scored a cut before: the search area first, then, when no rival there
// scored above 95 %, the whole screen.
bool Before(const cv::Mat& screen, const cv::Rect& cut, double* runner_up) {
    const platform::Rect area = app::SearchArea(
        {cut.x, cut.y, cut.x + cut.width, cut.y + cut.height}, screen.cols, screen.rows);
    const cv::Rect near(area.left, area.top, area.right - area.left, area.bottom - area.top);
    if (!EveryPlacement(screen, near, cut, runner_up)) return false;
    return *runner_up > kMostRunnerUp ||
           EveryPlacement(screen, cv::Rect(0, 0, screen.cols, screen.rows), cut, runner_up);
}

// The side of the first cut that stands out, 0 when none does, and its runner-up's score.
struct Outcome {
    int side = 0;
    double runner_up = 0;
};

template <typename Score>
bool Grow(const cv::Mat& screen, cv::Point at, Score score, Outcome* outcome) {
    *outcome = {};
    for (const int half : kHalfSides) {
        const cv::Rect cut(at.x - half, at.y - half, 2 * half + 1, 2 * half + 1);
        if ((cut & cv::Rect(0, 0, screen.cols, screen.rows)) != cut) return true;
        if (!score(cut, &outcome->runner_up)) return false;
        if (outcome->runner_up <= kMostRunnerUp) {
            outcome->side = cut.width;
            return true;
        }
    }
    return true;
}

void BM_RecordClick(benchmark::State& state) {
    const Click& click = kClicks[state.range(0)];
    const cv::Mat screen = testing_support::RealScreen(click.screen);
    if (screen.empty()) {
        state.SkipWithError("the screens of tests/vision/screens are missing");
        return;
    }
    state.SetLabel(std::string(click.screen) + ": " + click.what);
    vision::FastMatcher matcher;
    const auto pruned = [&](const cv::Rect& cut, double* runner_up) {
        app::TemplateScore score;
        const bool done = app::ScoreTemplate(matcher, screen,
                                             {cut.x, cut.y, cut.x + cut.width, cut.y + cut.height},
                                             &score, kMostRunnerUp);
        *runner_up = score.runner_up;
        return done;
    };
    const auto before_way = [&](const cv::Rect& cut, double* runner_up) {
        return Before(screen, cut, runner_up);
    };
    Outcome before, now;
    bench::Race(state, {"before", "score_template"},
                {[&] { return Grow(screen, click.at, before_way, &before); },
                 [&] { return Grow(screen, click.at, pruned, &now); }});
    // Both must choose the same cut and tell the same runner-up, or the race is meaningless.
    if (before.side != now.side || (now.side && before.runner_up != now.runner_up)) {
        const std::string why =
            "the two ways chose different cuts: " + std::to_string(before.side) + " px at " +
            std::to_string(before.runner_up) + " and " + std::to_string(now.side) + " px at " +
            std::to_string(now.runner_up);
        state.SkipWithError(why.c_str());
    }
    state.counters["side"] = now.side;
    state.counters["runner_up"] = now.runner_up;
}
BENCHMARK(BM_RecordClick)
    ->DenseRange(0, std::size(kClicks) - 1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
