// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/fast_matcher.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <opencv2/core.hpp>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "vision/matcher/best_placement.h"
#include "vision/matcher/direct_correlator.h"
#include "vision/matcher/fft_correlator.h"
#include "vision/matcher/normalised_score.h"
#include "vision/matcher/pruned_search.h"
#include "vision/matcher/run_workers.h"

namespace vision {
namespace {

// Working rows of one worker: the windows' energies and, unless the caller keeps them, the
// scores of one row of placements.
struct Rows {
    std::vector<double> energies;
    std::vector<double> scores;
};

struct Scoring {
    const WindowEnergy* energy;
    cv::Size templ;
    double templ_norm;
    cv::Mat* scores;  // optional
};

void ScoreBlock(const Scoring& scoring, const Correlator::Sums& sums, cv::Point origin,
                cv::Size size, Rows& rows, BestPlacement& best) {
    const int w = scoring.templ.width;
    double* energies = rows.energies.data();
    for (int j = 0; j < size.height; ++j) {
        const int y = origin.y + j;
        const std::int64_t* top = scoring.energy->Row(y) + origin.x;
        const std::int64_t* bottom = scoring.energy->Row(y + scoring.templ.height) + origin.x;
        // Energies stay far below 2^52 (that would take 2^34 pixels).
        for (int i = 0; i < size.width; ++i) {
            energies[i] = ExactDouble(bottom[i + w] - bottom[i] - top[i + w] + top[i]);
        }
        const double* sum = sums.values + j * sums.stride;
        double* out =
            scoring.scores ? scoring.scores->ptr<double>(y) + origin.x : rows.scores.data();
        for (int i = 0; i < size.width; ++i) {
            // The sums are whole numbers; rounding removes the transform's error.
            out[i] = NormalisedScore(NearestWhole(sum[i]), energies[i], scoring.templ_norm);
        }
        const double row_best = *std::max_element(out, out + size.width);
        if (row_best < best.score) continue;
        const int first = static_cast<int>(std::find(out, out + size.width, row_best) - out);
        best.TakeIfBetter(row_best, origin.x + first, y);
    }
}

// A piece of work that one worker does for all, whichever claims it first; the others wait
// for it. Waiting is on a condition variable, not std::atomic::wait: libstdc++ 12 without
// futexes (MinGW) can lose that wake-up (GCC bug 106183) and leave a worker asleep for good.
class SharedStep {
  public:
    explicit SharedStep(std::function<void()> step) : step_(std::move(step)) {}

    void Claim() {
        if (claimed_.exchange(true)) return;
        step_();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_.store(true);
        }
        finished_.notify_all();
    }
    void Await() {
        if (done_.load()) return;
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return done_.load(); });
    }

  private:
    std::function<void()> step_;
    std::atomic<bool> claimed_{false};
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::condition_variable finished_;
};

// Both pictures BGR, the template not empty and not larger than the picture.
bool Fit(const cv::Mat& picture, const cv::Mat& templ) {
    return picture.type() == CV_8UC3 && templ.type() == CV_8UC3 && !templ.empty() &&
           templ.cols <= picture.cols && templ.rows <= picture.rows;
}

}  // namespace

// Buffers and plans stay from one search to the next, so that a search neither plans again
// nor touches fresh pages. One search at a time uses them; searches on other matchers have
// workspaces of their own.
struct FastMatcher::Workspace {
    std::mutex mutex;
    WindowEnergy energy;
    FftCorrelator fft;
    DirectCorrelator direct;
    PrunedSearch pruned;
    std::vector<Rows> rows;  // one per worker
};

FastMatcher::FastMatcher() : workspace_(std::make_unique<Workspace>()) {}
FastMatcher::~FastMatcher() = default;

bool FastMatcher::Match(const cv::Mat& picture, const cv::Mat& templ, Placement* best,
                        cv::Mat* scores) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return Match(ChooseCorrelation(picture.size(), templ.size(), cores), picture, templ, best,
                 scores);
}

bool FastMatcher::Match(const CorrelationChoice& choice, const cv::Mat& picture,
                        const cv::Mat& templ, Placement* best, cv::Mat* scores) {
    if (!Fit(picture, templ)) return false;
    try {
        const std::lock_guard<std::mutex> lock(workspace_->mutex);
        return MatchLocked(choice, picture, templ, best, scores);
    } catch (const std::system_error&) {
        return false;
    }
}

bool FastMatcher::FindAbove(const cv::Mat& picture, const cv::Mat& templ, double threshold,
                            Placement* best, Verdict* verdict) {
    if (!Fit(picture, templ)) return false;
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const CorrelationChoice exhaustive = ChooseCorrelation(picture.size(), templ.size(), cores);
    try {
        Workspace& workspace = *workspace_;
        const std::lock_guard<std::mutex> lock(workspace.mutex);
        const PruningChoice pruning =
            ChoosePruning(picture.size(), templ.size(), threshold, cores, exhaustive);
        if (pruning.worth && PrunedSearch::Fits(templ.size())) {
            workspace.pruned.Reserve(pruning.workers, picture.size(), templ.size());
            switch (workspace.pruned.Run(picture, templ, threshold, pruning.workers, pruning.budget,
                                         best)) {
                case PrunedSearch::Outcome::kFound:
                    *verdict = Verdict::kAbove;
                    return true;
                case PrunedSearch::Outcome::kNotFound:
                    *verdict = Verdict::kBelow;
                    return true;
                case PrunedSearch::Outcome::kTooMany:
                    break;
            }
        }
        if (!MatchLocked(exhaustive, picture, templ, best, nullptr)) return false;
        *verdict = ScoreAccepted(best->score, threshold) ? Verdict::kAbove : Verdict::kBelowBest;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::system_error&) {
        return false;
    }
}

bool FastMatcher::MatchLocked(const CorrelationChoice& choice, const cv::Mat& picture,
                              const cv::Mat& templ, Placement* best, cv::Mat* scores) {
    const cv::Size placements(picture.cols - templ.cols + 1, picture.rows - templ.rows + 1);
    const int workers = std::clamp(choice.workers, 1, 2);
    try {
        Workspace& workspace = *workspace_;
        Correlator* correlator = nullptr;
        if (choice.method == CorrelationChoice::Method::kFft) {
            if (choice.tile.width < templ.cols || choice.tile.height < templ.rows) return false;
            if (!workspace.fft.Setup(picture, templ, choice.tile)) return false;
            correlator = &workspace.fft;
        } else {
            if (!DirectCorrelator::Fits(templ.size())) return false;
            workspace.direct.Setup(picture, templ, std::max(1, choice.band_rows));
            correlator = &workspace.direct;
        }
        correlator->PrepareWorkers(workers);
        const cv::Size block = correlator->BlockSize();
        if (static_cast<int>(workspace.rows.size()) < workers) workspace.rows.resize(workers);
        for (Rows& rows : workspace.rows) {
            rows.energies.resize(block.width);
            rows.scores.resize(block.width);
        }
        workspace.energy.Reserve(picture.cols, picture.rows);
        SharedStep spectra([correlator] { correlator->PrepareTemplate(); });
        SharedStep energies([&] { workspace.energy.Build(picture); });
        cv::Mat map;
        if (scores) map.create(placements, CV_64F);

        const Scoring scoring{&workspace.energy, templ.size(),
                              std::sqrt(static_cast<double>(SquareSum(templ))),
                              scores ? &map : nullptr};
        const int across = (placements.width + block.width - 1) / block.width;
        const int blocks = across * ((placements.height + block.height - 1) / block.height);
        std::atomic<int> next{0};
        std::array<BestPlacement, 2> bests;  // one per worker
        RunWorkers(workers, [&](int worker) {
            // This thread takes the template first, a helper the energies: they overlap.
            if (worker > 0) energies.Claim();
            spectra.Claim();
            spectra.Await();
            for (int b; (b = next.fetch_add(1)) < blocks;) {
                const cv::Point origin((b % across) * block.width, (b / across) * block.height);
                const cv::Size size(std::min(block.width, placements.width - origin.x),
                                    std::min(block.height, placements.height - origin.y));
                const Correlator::Sums sums =
                    correlator->Correlate(worker, origin.x, origin.y, size);
                energies.Claim();
                energies.Await();
                ScoreBlock(scoring, sums, origin, size, workspace.rows[worker], bests[worker]);
            }
        });

        BestPlacement overall = bests[0];
        for (const BestPlacement& other : bests)
            overall.TakeIfBetter(other.score, other.x, other.y);
        best->top_left = {overall.x, overall.y};
        best->score = overall.score;
        if (scores) *scores = map;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const cv::Exception&) {
        return false;
    }
}

bool FastMatch(const cv::Mat& picture, const cv::Mat& templ, Placement* best, cv::Mat* scores) {
    try {
        return FastMatcher().Match(picture, templ, best, scores);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FastMatch(const CorrelationChoice& choice, const cv::Mat& picture, const cv::Mat& templ,
               Placement* best, cv::Mat* scores) {
    try {
        return FastMatcher().Match(choice, picture, templ, best, scores);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace vision
