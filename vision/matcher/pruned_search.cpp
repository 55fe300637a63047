// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/pruned_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "vision/matcher/best_placement.h"
#include "vision/matcher/direct_correlator.h"
#include "vision/matcher/normalised_score.h"
#include "vision/matcher/row_integral.h"
#include "vision/matcher/run_workers.h"
#include "vision/matcher/vector_clones.h"

namespace vision {
namespace {

// A bound is compared with the cutoff less this share of it: far more than the rounding of
// either (about 1e-15), so that no placement that could reach the cutoff is ever dropped.
constexpr double kMargin = 1e-9;

// The narrowest cell of the finer bound: smaller cells bound more tightly but cost more.
constexpr int kCellSide = 8;

// Candidates a worker keeps before it scores the best of them to raise the cutoff; if half
// still pass then, the placements score too much alike (a flat screen, fine noise) for bounds
// to tell apart, and the search is handed on early, before their bounds cost much.
constexpr std::size_t kCandidates = 1024;

// The candidates a worker scores as soon as it finds them, before it keeps them in its list.
constexpr std::int64_t kScoredAtOnce = 32;

// The most exact scores a search makes before it hands on to the exhaustive one: searches on
// real screens make a few hundred at most, and where many more are needed the bounds are
// loose on that screen, so that every further one is likely wasted.
constexpr std::int64_t kMostScores = kCandidates;

// The first pass hopes for a score at least this high, as a template cut from the screen it
// is looked for on has: the bounds then reject nearly every placement. Only when no placement
// reaches it does a second pass look down to the threshold.
constexpr double kHopedScore = 0.999;

// Sums of the template's values and of their squares over a part of it.
struct Part {
    double values = 0;  // how many: pixels x 3
    double sum = 0;
    double squares = 0;
    double spread = 0;  // values x squares - sum^2: values^2 x the variance
    double per_value = 0;

    void Add(const Part& other) {
        values += other.values;
        sum += other.sum;
        squares += other.squares;
    }
    void Finish() {
        spread = values * squares - sum * sum;
        per_value = values > 0 ? 1 / values : 0;
    }
};

Part TemplatePart(const cv::Mat& templ, const cv::Rect& area) {
    std::int64_t sum = 0;
    std::int64_t squares = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        const std::uint8_t* v = templ.ptr<std::uint8_t>(y) + area.x * 3;
        for (int i = 0; i < area.width * 3; ++i) {
            sum += v[i];
            squares += v[i] * v[i];
        }
    }
    Part part;
    part.values = 3.0 * area.area();
    part.sum = static_cast<double>(sum);
    part.squares = static_cast<double>(squares);
    part.Finish();
    return part;
}

// The highest correlation the part can have with a window part whose values sum to sum and
// whose squares sum to energy: with m the means, the correlation is values x mt x mw plus the
// correlation of the deviations, which Cauchy-Schwarz bounds by the square root of the
// product of their squares. Every term is a whole number below 2^53, so the spreads are exact.
inline double PartBound(const Part& part, double sum, double energy) {
    const double spread = part.values * energy - sum * sum;
    return (part.sum * sum + std::sqrt(part.spread * spread)) * part.per_value;
}

// Two rows of a band's integral image, and the sums over the windows between them.
struct Band {
    const std::uint32_t* top_sums;
    const std::uint32_t* top_squares;
    const std::uint32_t* bottom_sums;
    const std::uint32_t* bottom_squares;

    // Over columns [x, x + width): exact whole numbers below 2^32, as doubles.
    double Sum(int x, int width) const {
        return Exact(bottom_sums[x + width] - bottom_sums[x] - top_sums[x + width] + top_sums[x]);
    }
    double Energy(int x, int width) const {
        return Exact(bottom_squares[x + width] - bottom_squares[x] - top_squares[x + width] +
                     top_squares[x]);
    }
    // v exactly, through a signed conversion, which vectorises where an unsigned one does not.
    static double Exact(std::uint32_t v) {
        return static_cast<double>(static_cast<std::int32_t>(v ^ 0x8000'0000u)) + 2147483648.0;
    }
};

// Window ratios sum^2 / energy whose whole-window bound reaches a cutoff: those in [low, high].
struct Ratios {
    double low = 0;
    double high = 0;
};

// Marks the windows of the band, width wide, whose ratio lies in the range, and counts them.
// In floats, eight at a time: each value below is within 2^-24 of the exact one, so a
// range a hundred thousandth wider misses no window inside it, and the few just outside that
// pass are dropped by the exact bounds that follow.
RAVELKIN_VECTOR_CLONES int MarkPasses(const Band& band, int count, int width, Ratios range,
                                      std::uint8_t* passes) {
    const Band b = band;  // in registers: the stores below might alias it
    const float low = static_cast<float>(range.low * (1 - 1e-5));
    const float high = static_cast<float>(range.high * (1 + 1e-5));
    int passed = 0;
    for (int x = 0; x < count; ++x) {
        const float sum = static_cast<float>(b.bottom_sums[x + width] - b.bottom_sums[x] -
                                             b.top_sums[x + width] + b.top_sums[x]);
        const float energy = static_cast<float>(b.bottom_squares[x + width] - b.bottom_squares[x] -
                                                b.top_squares[x + width] + b.top_squares[x]);
        const float square = sum * sum;
        const bool pass = energy > 0 && square >= low * energy && square <= high * energy;
        passes[x] = pass;
        passed += pass;
    }
    return passed;
}

// Where the quarters of a window lie in it, and the template's sums over them and over the
// rest the cells leave (nothing, when the cells cover the template: its bound is then 0).
struct Quarters {
    std::array<Part, 4> parts;
    std::array<int, 4> left;
    std::array<int, 4> width;
    Part rest;
};

// The quarters' and the rest's bounds of the window at x, added up as ScanRows adds them.
inline double QuartersBound(const Quarters& q, const std::array<Band, 4>& rows, double sum,
                            double energy, int x, std::array<double, 4>* each) {
    std::array<double, 4> quarter_sum;
    std::array<double, 4> quarter_energy;
    for (int i = 0; i < 4; ++i) {
        quarter_sum[i] = rows[i].Sum(x + q.left[i], q.width[i]);
        quarter_energy[i] = rows[i].Energy(x + q.left[i], q.width[i]);
        sum -= quarter_sum[i];
        energy -= quarter_energy[i];
    }
    double bound = PartBound(q.rest, sum, energy);
    for (int i = 0; i < 4; ++i) {
        (*each)[i] = PartBound(q.parts[i], quarter_sum[i], quarter_energy[i]);
        bound += (*each)[i];
    }
    return bound;
}

// For a row where many windows passed the whole window's bound: keeps the mark of those whose
// quarters' bound reaches cutoff_norm x the square root of their energy. Every window of the
// row without a branch, so that four are bounded at once.
RAVELKIN_VECTOR_CLONES void MarkQuarterPasses(const Band& whole, const std::array<Band, 4>& rows,
                                              const Quarters& quarters, int count, int width,
                                              double cutoff_norm, double* spare,
                                              std::uint8_t* passes) {
    const Band b = whole;  // in registers: the stores below might alias them
    const std::array<Band, 4> r = rows;
    const Quarters q = quarters;
    // By how much each bound exceeds what is needed, in a loop of doubles alone, which
    // vectorises; the marks, bytes, are kept or cleared after.
    for (int x = 0; x < count; ++x) {
        const double energy = b.Energy(x, width);
        std::array<double, 4> each;
        spare[x] = QuartersBound(q, r, b.Sum(x, width), energy, x, &each) -
                   cutoff_norm * std::sqrt(energy);
    }
    for (int x = 0; x < count; ++x) passes[x] &= static_cast<std::uint8_t>(spare[x] >= 0);
}

}  // namespace

// The template's parts: the whole, a grid of cells, and what the cells leave over at the
// right and bottom edges.
struct PrunedSearch::Template {
    cv::Size size;
    double norm = 0;  // square root of the energy, as the exhaustive search takes it
    Part whole;
    cv::Size cell;
    cv::Size grid;  // cells across and down
    std::array<Part, kMostCells> cells;
    // The cells grouped in two by two quarters, whose bound is cheaper and comes first.
    std::array<cv::Rect, 4> quarter_cells;  // the cells of each, in cells
    Quarters quarters;

    Template(const cv::Mat& templ) : size(templ.size()) {
        norm = std::sqrt(static_cast<double>(SquareSum(templ)));
        whole = TemplatePart(templ, cv::Rect(cv::Point(), size));
        grid.width = std::clamp(size.width / kCellSide, 1, kMostGrid);
        grid.height = std::clamp(size.height / kCellSide, 1, kMostGrid);
        cell = {size.width / grid.width, size.height / grid.height};
        Part& rest = quarters.rest;
        rest = whole;
        for (int j = 0; j < grid.height; ++j) {
            for (int i = 0; i < grid.width; ++i) {
                const Part c =
                    TemplatePart(templ, cv::Rect(cv::Point(i * cell.width, j * cell.height), cell));
                cells[j * grid.width + i] = c;
                rest.values -= c.values;
                rest.sum -= c.sum;
                rest.squares -= c.squares;
            }
        }
        rest.Finish();
        const cv::Size half((grid.width + 1) / 2, (grid.height + 1) / 2);
        quarter_cells = {
            cv::Rect(0, 0, half.width, half.height),
            cv::Rect(half.width, 0, grid.width - half.width, half.height),
            cv::Rect(0, half.height, half.width, grid.height - half.height),
            cv::Rect(half.width, half.height, grid.width - half.width, grid.height - half.height)};
        for (int q = 0; q < 4; ++q) {
            const cv::Rect& r = quarter_cells[q];
            Part& part = quarters.parts[q];
            for (int j = r.y; j < r.y + r.height; ++j) {
                for (int i = r.x; i < r.x + r.width; ++i) part.Add(cells[j * grid.width + i]);
            }
            part.Finish();
            quarters.left[q] = r.x * cell.width;
            quarters.width[q] = r.width * cell.width;
        }
    }

    // The whole-window bound of a window whose sum over the square root of its energy is r
    // (from 0 up to sqrt(values), by Cauchy-Schwarz); it is 1 at sum / norm, the template's own.
    double WholeBound(double r) const {
        const double rest = std::max(0.0, whole.values - r * r);
        return (whole.sum * r + std::sqrt(whole.spread * rest)) / (whole.values * norm);
    }

    // The ratios whose bound reaches the cutoff. The bound is concave, so they form one range;
    // its ends are found by bisection for a cutoff a millionth lower, far more than rounding
    // moves them, and then widened.
    Ratios RatioRange(double cutoff) const {
        const double target = cutoff * (1 - 1e-6);
        const double top = std::sqrt(whole.values);
        const double peak = norm > 0 ? std::min(whole.sum / norm, top) : 0;
        if (!(WholeBound(peak) >= target)) return {1, 0};  // nothing passes
        const auto edge = [&](double inside, double outside) {
            if (WholeBound(outside) >= target) return outside;
            for (int i = 0; i < 200 && inside != outside; ++i) {
                const double mid = (inside + outside) / 2;
                if (mid == inside || mid == outside) break;
                (WholeBound(mid) >= target ? inside : outside) = mid;
            }
            return outside;
        };
        const double low = edge(peak, 0) * (1 - 1e-9);
        const double high = edge(peak, top) * (1 + 1e-9);
        return {low * low, high >= top ? std::numeric_limits<double>::infinity() : high * high};
    }
};

void PrunedSearch::Reserve(int workers, cv::Size picture, cv::Size templ) {
    if (static_cast<int>(workers_.size()) < workers) workers_.resize(workers);
    const std::size_t width = static_cast<std::size_t>(picture.width) + 1;
    const std::size_t ring = static_cast<std::size_t>(templ.height) + 1;
    for (Worker& w : workers_) {
        w.integral_sums.resize(ring * width);
        w.integral_squares.resize(ring * width);
        w.passes.resize(width);
        w.spare.resize(width);
        // Room for the other workers' candidates too, which join the first one's at the end.
        w.candidates.reserve(kCandidates * workers);
    }
}

std::int64_t PrunedSearch::scored() const {
    std::int64_t all = 0;
    for (const Worker& w : workers_) all += w.scored;
    return all;
}

std::int64_t PrunedSearch::bounded() const {
    std::int64_t all = 0;
    for (const Worker& w : workers_) all += w.bounded;
    return all;
}

void PrunedSearch::RaiseCutoff(double score) {
    double now = cutoff_.load(std::memory_order_relaxed);
    while (score > now && !cutoff_.compare_exchange_weak(now, score)) {
    }
}

void PrunedSearch::Score(const Template& t, Worker& w, const Candidate& c) {
    const double sum = static_cast<double>(PlacementSum(*picture_, *templ_, c.x, c.y));
    const double score = NormalisedScore(sum, c.energy, t.norm);
    ++w.scored;
    w.last_score = score;
    w.best.TakeIfBetter(score, c.x, c.y);
    RaiseCutoff(w.best.score);
}

// The worker's list is full: its highest bounds are scored, in rounds, until the rest fit in
// half the list. Each exact score may raise the cutoff, which drops the candidates below it.
// False when the budget of exact scores runs out (the bounds are loose on this screen: many
// more would follow), or when a whole round ties with the best score at the cutoff (many
// placements score alike, as on a flat screen, and only the exhaustive search tells the first
// of them cheaply).
bool PrunedSearch::Prune(const Template& t, Worker& w) {
    auto& list = w.candidates;
    while (list.size() > kCandidates / 2) {
        std::make_heap(list.begin(), list.end());
        bool all_tie = true;
        for (int i = 0; i < 16 && !list.empty(); ++i) {
            std::pop_heap(list.begin(), list.end());
            Score(t, w, list.back());
            all_tie = all_tie && w.last_score == w.best.score && w.best.score >= Cutoff();
            list.pop_back();
        }
        const double keep = Cutoff() * (1 - kMargin);
        std::erase_if(list, [keep](const Candidate& c) { return !(c.bound >= keep); });
        if (all_tie || w.scored > budget_) return false;
    }
    return true;
}

void PrunedSearch::ScanRows(const Template& t, int worker, int first, int end) {
    Worker& w = workers_[worker];
    const cv::Mat& picture = *picture_;
    const int width = picture.cols;
    const int across = width - t.size.width + 1;
    // The integral image of the band of rows [first, r), for the last h + 1 values of r: the
    // windows of placement row y lie between its rows y and y + h.
    const int ring = t.size.height + 1;
    const auto row = [&](int r) {
        const std::size_t at = static_cast<std::size_t>(r % ring) * (width + 1);
        return std::pair<std::uint32_t*, std::uint32_t*>(w.integral_sums.data() + at,
                                                         w.integral_squares.data() + at);
    };
    const auto extend = [&](int r) {  // row r + 1 from row r
        const auto [sums_above, squares_above] = row(r);
        const auto [sums, squares] = row(r + 1);
        ExtendIntegral(picture.ptr<std::uint8_t>(r), width, sums_above, squares_above, sums,
                       squares);
    };
    const auto band = [&](int top, int height) {
        const auto [top_sums, top_squares] = row(top);
        const auto [bottom_sums, bottom_squares] = row(top + height);
        return Band{top_sums, top_squares, bottom_sums, bottom_squares};
    };
    {
        const auto [sums, squares] = row(first);
        std::fill(sums, sums + width + 1, 0u);
        std::fill(squares, squares + width + 1, 0u);
    }
    for (int r = first; r + 1 < first + t.size.height; ++r) extend(r);

    std::uint8_t* passes = w.passes.data();
    double ratios_for = -1;
    Ratios ratios;
    for (int y = first; y < end && !stop_.load(std::memory_order_relaxed); ++y) {
        extend(y + t.size.height - 1);
        // The whole window's bound is a function of sum / sqrt(energy) alone, highest at the
        // template's own ratio and falling away on both sides: it reaches the cutoff where the
        // ratio lies in a range, which squared needs neither roots nor divisions. A window
        // without energy scores 0 and never passes.
        if (Cutoff() != ratios_for) {
            ratios_for = Cutoff();
            ratios = t.RatioRange(ratios_for);
        }
        const Band whole = band(y, t.size.height);
        const int passed = MarkPasses(whole, across, t.size.width, ratios, passes);
        if (passed == 0) continue;
        // The quarters' and the cells' bounds, only where the whole window's passed.
        const double cutoff = Cutoff() * (1 - kMargin);
        std::array<Band, kMostGrid> cell_rows;
        for (int j = 0; j < t.grid.height; ++j) {
            cell_rows[j] = band(y + j * t.cell.height, t.cell.height);
        }
        std::array<Band, 4> quarter_rows;
        for (int q = 0; q < 4; ++q) {
            const cv::Rect& cells = t.quarter_cells[q];
            quarter_rows[q] = band(y + cells.y * t.cell.height, cells.height * t.cell.height);
        }
        // Where the whole window's bound is loose, as on a screen of little contrast, most
        // windows pass it: the quarters' bound is then cheaper for the whole row at once.
        if (passed >= across / 4) {
            MarkQuarterPasses(whole, quarter_rows, t.quarters, across, t.size.width,
                              cutoff * t.norm, w.spare.data(), passes);
        }
        for (int x = 0; x < across; ++x) {
            // Most placements fail the whole window's bound: eight flags are skipped at once
            // where none is set.
            if (x % 8 == 0 && x + 8 <= across) {
                std::uint64_t eight;
                std::memcpy(&eight, passes + x, sizeof eight);
                if (eight == 0) {
                    x += 7;
                    continue;
                }
            }
            if (!passes[x]) continue;
            ++w.bounded;
            // The window's quarters first, and the rest the cells leave.
            const double energy = whole.Energy(x, t.size.width);
            const double needed = cutoff * t.norm * std::sqrt(energy);
            std::array<double, 4> quarter_bound;
            double bound = QuartersBound(t.quarters, quarter_rows, whole.Sum(x, t.size.width),
                                         energy, x, &quarter_bound);
            if (!(bound >= needed)) continue;
            // Then the cells, a quarter at a time: the bounds of a quarter's cells add up to no
            // more than the quarter's own, and the bound tightens as they replace it, so that
            // most windows fail before every cell is bounded.
            for (int q = 0; q < 4 && bound >= needed; ++q) {
                const cv::Rect& r = t.quarter_cells[q];
                double cells = 0;
                for (int j = r.y; j < r.y + r.height; ++j) {
                    const Part* row_cells = &t.cells[j * t.grid.width];
                    for (int i = r.x; i < r.x + r.width; ++i) {
                        const int left = x + i * t.cell.width;
                        cells += PartBound(row_cells[i], cell_rows[j].Sum(left, t.cell.width),
                                           cell_rows[j].Energy(left, t.cell.width));
                    }
                }
                bound += cells - quarter_bound[q];
            }
            if (!(bound >= needed)) continue;
            bound /= needed / cutoff;
            // The first few are scored at once: a good score raises the cutoff for the rest of
            // the scan, on every worker, and few placements then pass even the first bound.
            if (w.scored < kScoredAtOnce) {
                Score(t, w, {bound, x, y, energy});
                continue;
            }
            if (w.candidates.size() == kCandidates && !Prune(t, w)) {
                stop_.store(true);
                return;
            }
            w.candidates.push_back({bound, x, y, energy});
        }
    }
}

PrunedSearch::Outcome PrunedSearch::Run(const cv::Mat& picture, const cv::Mat& templ,
                                        double threshold, int workers, std::int64_t budget,
                                        Placement* best) {
    picture_ = &picture;
    templ_ = &templ;
    // Where bounds leave more than a few lists' worth of exact scores, they are loose on this
    // screen, and the exhaustive search is the cheaper way on.
    budget_ = std::min<std::int64_t>(budget, kMostScores);
    workers = std::clamp(workers, 1, static_cast<int>(workers_.size()));
    for (Worker& w : workers_) {
        w.candidates.clear();
        w.scored = 0;
        w.bounded = 0;
        w.best = {};
    }
    const Template t(templ);
    const double floor = threshold / 100.0;
    const double hope = std::max(floor, kHopedScore);
    if (!Pass(t, hope, workers)) return Outcome::kTooMany;
    // A pass scores every placement whose score reaches its cutoff: when the best is below it,
    // so is every score, and a second pass looks below, from the threshold or the best score.
    const Worker& first = workers_[0];
    if (!(first.best.score >= hope) && hope > floor) {
        if (!Pass(t, std::max(floor, first.best.score), workers)) return Outcome::kTooMany;
    }
    if (!ScoreAccepted(first.best.score, threshold)) return Outcome::kNotFound;
    best->top_left = {first.best.x, first.best.y};
    best->score = first.best.score;
    return Outcome::kFound;
}

// Scans every placement against a cutoff, then scores the candidates, highest bound first,
// until none can reach the best score. False when too many pass their bounds.
bool PrunedSearch::Pass(const Template& t, double cutoff, int workers) {
    stop_.store(false);
    cutoff_.store(cutoff);
    for (Worker& w : workers_) w.candidates.clear();
    const int rows = picture_->rows - templ_->rows + 1;
    RunWorkers(workers,
               [&](int k) { ScanRows(t, k, rows * k / workers, rows * (k + 1) / workers); });
    if (stop_.load()) return false;

    Worker& first = workers_[0];
    auto& list = first.candidates;
    for (int k = 1; k < workers; ++k) {
        Worker& other = workers_[k];
        const double keep = Cutoff() * (1 - kMargin);
        for (const Candidate& c : other.candidates) {
            if (c.bound >= keep) list.push_back(c);
        }
        first.best.TakeIfBetter(other.best.score, other.best.x, other.best.y);
        first.scored += other.scored;
        other.scored = 0;
    }
    // At most two lists of candidates are left: scoring them all costs less than starting over.
    std::make_heap(list.begin(), list.end());
    while (!list.empty() && list.front().bound >= Cutoff() * (1 - kMargin)) {
        std::pop_heap(list.begin(), list.end());
        Score(t, first, list.back());
        list.pop_back();
    }
    return true;
}

}  // namespace vision
