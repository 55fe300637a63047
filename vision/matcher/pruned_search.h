// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "vision/matcher/best_placement.h"
#include "vision/matcher/fast_matcher.h"

namespace vision {

// Finds the best placement of a template when its score x 100 is above a threshold, without
// scoring every placement. Each placement's score has upper bounds from sums over its window
// alone: the part of the correlation due to the means of template and window is exact, the
// rest bounded by Cauchy-Schwarz, for the whole window (one comparison per placement), then
// for its quarters, then for a grid of cells, each tighter and made only where the last one
// passed. Placements whose bound is below the threshold, or below the best score found so far,
// are never scored; the others are scored exactly (the same sums and the same arithmetic as the
// exhaustive search), highest bound first, until no bound reaches the best score. The answer is
// then the exhaustive search's, ties included. A first pass hopes for a near-perfect score,
// which rejects nearly everything; a second looks down to the threshold only when nothing
// reached it. Buffers stay from one search to the next.
class PrunedSearch {
  public:
    enum class Outcome {
        kFound,     // best is the exhaustive search's answer, and it reaches the threshold
        kNotFound,  // no placement's score x 100 is above the threshold
        kTooMany,   // too many placements pass their bounds: an exhaustive search is cheaper
    };

    // A window's sum of squares must stay below 2^32: up to 22000 template pixels.
    static bool Fits(cv::Size templ) {
        return static_cast<std::int64_t>(templ.width) * templ.height <= 22000;
    }

    // Makes room for this many workers over a picture and a template of these sizes. Throws
    // std::bad_alloc.
    void Reserve(int workers, cv::Size picture, cv::Size templ);

    // Both pictures 8-bit BGR, the template no larger than the picture and Fits(). The workers
    // share the rows of placements; budget is the most placements worth scoring exactly before
    // an exhaustive search would have been cheaper.
    Outcome Run(const cv::Mat& picture, const cv::Mat& templ, double threshold, int workers,
                std::int64_t budget, Placement* best);

    // Placements the last run scored exactly: the work the bounds left.
    std::int64_t scored() const;
    // Placements the last run bounded one at a time: those whose whole window's bound passed
    // (and, in rows where most did, their quarters' as well).
    std::int64_t bounded() const;

  private:
    struct Candidate {
        double bound;
        int x;
        int y;
        double energy;  // of the window, a whole number

        bool operator<(const Candidate& other) const { return bound < other.bound; }
    };
    struct Worker {
        // The integral image of the last rows of a band, in a ring: sums over the channels and
        // sums of their squares.
        std::vector<std::uint32_t> integral_sums;
        std::vector<std::uint32_t> integral_squares;
        std::vector<std::uint8_t> passes;  // per placement of a row: whether its bound passes
        std::vector<double> spare;         // per placement of a row: room for a bound
        std::vector<Candidate> candidates;
        std::int64_t scored = 0;
        std::int64_t bounded = 0;
        double last_score = -1;  // of the last placement scored
        BestPlacement best;      // of the placements this worker scored
    };
    struct Template;

    static constexpr int kMostGrid = 6;  // cells across or down
    static constexpr int kMostCells = kMostGrid * kMostGrid;

    bool Pass(const Template& t, double cutoff, int workers);
    void ScanRows(const Template& t, int worker, int first, int end);
    bool Prune(const Template& t, Worker& w);
    void Score(const Template& t, Worker& w, const Candidate& c);
    double Cutoff() const { return cutoff_.load(std::memory_order_relaxed); }
    void RaiseCutoff(double score);

    const cv::Mat* picture_ = nullptr;
    const cv::Mat* templ_ = nullptr;
    std::vector<Worker> workers_;
    std::atomic<double> cutoff_{0};  // no placement below it can be the answer
    std::atomic<bool> stop_{false};  // a worker found too many candidates
    std::int64_t budget_ = 0;
};

}  // namespace vision
