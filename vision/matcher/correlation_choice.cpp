// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/correlation_choice.h"

#include <algorithm>
#include <cmath>

#include "vision/matcher/direct_correlator.h"

namespace vision {
namespace {

// Tile sides offered to the FFT: FFTW's estimated plans are fast for these (powers of two
// times 1, 5/4 or 3/2); other products of small primes measured up to twice as slow.
constexpr int kTileSides[] = {32,   64,   128,  160,  256,   320,   384,  512,
                              640,  768,  1024, 1280, 1536,  2048,  2560, 3072,
                              4096, 5120, 6144, 8192, 10240, 12288, 16384};

// Nanoseconds for one tile (fill, three forward transforms, spectral products, one inverse),
// fitted to the TileCost benchmark on a 2-core AMD EPYC. Per element: about 6.5 ns, a little
// more for longer rows, more again once the columns grow past 128 (their transforms then
// leave the first-level caches), and more once the tile's planes outgrow the second-level
// cache (2^19 elements).
double TileNanoseconds(cv::Size tile) {
    const double width = tile.width;
    const double height = tile.height;
    const double area = width * height;
    double per_element = 6.5 + 0.25 * std::log2(width / 32);
    per_element += height <= 128 ? 0.3 * std::log2(height / 32) : 2.5 + std::log2(height / 160);
    per_element += 4.0 * std::max(0.0, std::log2(area) - 19);
    // FFTW's estimated plan for rows of 128 measured 60 % slower than for 64 or 256.
    if (tile.width == 128) per_element += 5;
    return area * per_element;
}

// Nanoseconds for one placement summed directly, from the DirectCost benchmark: about
// 0.068 ns per product in long rows, plus about 2.5 ns per template row.
double DirectNanoseconds(cv::Size templ) {
    return templ.height * (2.5 + 0.068 * 3.0 * templ.width);
}

// Below this much work a helper thread costs more than it saves.
constexpr double kThreadWorthNanoseconds = 1.5e6;

// Nanoseconds of processor time to bound one placement's score in the first pass of a pruned
// search, integral image included: find_image_bench's Threshold runs measured 2.6 (real 4K
// screens) to 7.5 (generated full-HD ones) on a 2-core AMD EPYC.
constexpr double kBoundNanoseconds = 5.0;

// Below this threshold (per cent) a search that finds no near-perfect placement would bound
// nearly nothing away in its second pass.
constexpr double kLowestPrunedThreshold = 50;

}  // namespace

CorrelationChoice ChooseCorrelation(cv::Size picture, cv::Size templ, int cores) {
    const cv::Size placements(picture.width - templ.width + 1, picture.height - templ.height + 1);
    const int most_workers = cores >= 2 ? 2 : 1;

    CorrelationChoice best;
    double best_cost = -1;
    // blocks of per_block ns each shared by the workers, after once ns on one thread.
    const auto consider = [&](CorrelationChoice choice, double blocks, double per_block,
                              double once) {
        choice.workers = 1;
        if (most_workers > 1 && blocks > 1 && blocks * per_block > kThreadWorthNanoseconds) {
            choice.workers = most_workers;
        }
        const double cost = once + std::ceil(blocks / choice.workers) * per_block;
        if (best_cost < 0 || cost < best_cost) {
            best = choice;
            best.nanoseconds = best_cost = cost;
        }
    };

    if (DirectCorrelator::Fits(templ)) {
        CorrelationChoice direct;
        direct.method = CorrelationChoice::Method::kDirect;
        direct.band_rows = 4;
        const double bands = std::ceil(placements.height / 4.0);
        consider(direct, bands, 4.0 * placements.width * DirectNanoseconds(templ), 0);
    }
    for (const int width : kTileSides) {
        if (width < templ.width) continue;
        for (const int height : kTileSides) {
            if (height < templ.height) continue;
            CorrelationChoice fft;
            fft.tile = {width, height};
            const double across = std::ceil(placements.width / (width - templ.width + 1.0));
            const double down = std::ceil(placements.height / (height - templ.height + 1.0));
            // The template's spectra cost about one tile.
            const double tile_cost = TileNanoseconds(fft.tile);
            consider(fft, across * down, tile_cost, tile_cost);
            if (height >= picture.height) break;  // larger tiles only add zeros
        }
        if (width >= picture.width) break;
    }
    return best;
}

PruningChoice ChoosePruning(cv::Size picture, cv::Size templ, double threshold, int cores,
                            const CorrelationChoice& exhaustive) {
    PruningChoice choice;
    if (!(threshold >= kLowestPrunedThreshold)) return choice;
    const double placements =
        (picture.width - templ.width + 1.0) * (picture.height - templ.height + 1.0);
    const double scan = placements * kBoundNanoseconds;
    choice.workers = cores >= 2 && scan > kThreadWorthNanoseconds ? 2 : 1;
    // Half the exhaustive search's time goes to the scan and the exact scores at most, so that
    // a search the bounds cannot prune costs at most half again as much.
    const double allowed = exhaustive.nanoseconds / 2;
    const double scan_time = scan / choice.workers;
    choice.worth = scan_time < allowed;
    choice.budget = static_cast<std::int64_t>((allowed - scan_time) / DirectNanoseconds(templ));
    return choice;
}

}  // namespace vision
