// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/fft_correlator.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace vision {

struct TilePlans {
    FftwPlan forward;  // the three channel planes of a tile, in place
    FftwPlan inverse;  // one plane, in place
};

namespace {

// Estimated plans: measuring would cost far more than a whole search for each new size.
constexpr unsigned kPlanning = FFTW_ESTIMATE;

std::ptrdiff_t RowDoubles(cv::Size tile) {
    return 2 * (tile.width / 2 + 1);
}
std::ptrdiff_t ChannelDoubles(cv::Size tile) {
    return RowDoubles(tile) * tile.height;
}

// Plans are made once per tile size and kept for the life of the process, which shares them.
// The lock is process-wide because FFTW's planner is not thread-safe (executing plans is).
const TilePlans* PlansFor(cv::Size tile) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, TilePlans> cache;
    const std::lock_guard<std::mutex> lock(mutex);
    const auto key = std::make_pair(tile.width, tile.height);
    if (const auto found = cache.find(key); found != cache.end()) return &found->second;

    FftwDoubles scratch(3 * ChannelDoubles(tile));
    const int size[2] = {tile.height, tile.width};
    const int real_embed[2] = {tile.height, static_cast<int>(RowDoubles(tile))};
    const int complex_embed[2] = {tile.height, tile.width / 2 + 1};
    const int real_dist = static_cast<int>(ChannelDoubles(tile));
    const int complex_dist = real_dist / 2;
    TilePlans plans;
    plans.forward.reset(fftw_plan_many_dft_r2c(2, size, 3, scratch.data(), real_embed, 1, real_dist,
                                               scratch.complex_data(), complex_embed, 1,
                                               complex_dist, kPlanning));
    plans.inverse.reset(fftw_plan_many_dft_c2r(2, size, 1, scratch.complex_data(), complex_embed, 1,
                                               complex_dist, scratch.data(), real_embed, 1,
                                               real_dist, kPlanning));
    if (!plans.forward || !plans.inverse) return nullptr;
    return &cache.emplace(key, std::move(plans)).first->second;
}

}  // namespace

bool FftCorrelator::Setup(const cv::Mat& picture, const cv::Mat& templ, cv::Size tile) {
    // Repeated tile sizes keep their plans and so never wait for another search's planning.
    if (!plans_ || tile != tile_) plans_ = PlansFor(tile);
    if (!plans_) return false;
    picture_ = &picture;
    templ_size_ = templ.size();
    tile_ = tile;
    block_ = {tile.width - templ.cols + 1, tile.height - templ.rows + 1};
    row_doubles_ = RowDoubles(tile);
    channel_doubles_ = ChannelDoubles(tile);

    spectra_.Reserve(3 * channel_doubles_);
    templ_ = &templ;
    return true;
}

void FftCorrelator::PrepareTemplate() {
    FillTile(spectra_.data(), *templ_, 0, 0, templ_size_);
    fftw_execute_dft_r2c(plans_->forward.get(), spectra_.data(), spectra_.complex_data());
    // Correlation is the product with the conjugate spectrum; FFTW's round trip multiplies
    // by the tile's area, taken out here once.
    const double scale = 1.0 / (static_cast<double>(tile_.width) * tile_.height);
    double* spectrum = spectra_.data();
    for (std::ptrdiff_t i = 0; i < 3 * channel_doubles_; i += 2) {
        spectrum[i] *= scale;
        spectrum[i + 1] *= -scale;
    }
}

void FftCorrelator::PrepareWorkers(int count) {
    if (static_cast<int>(tiles_.size()) < count) tiles_.resize(count);
    for (auto& tile : tiles_) tile.Reserve(3 * channel_doubles_);
}

void FftCorrelator::FillTile(double* tile, const cv::Mat& source, int left, int top,
                             cv::Size area) const {
    for (int r = 0; r < tile_.height; ++r) {
        double* blue = tile + r * row_doubles_;
        double* green = blue + channel_doubles_;
        double* red = green + channel_doubles_;
        int x = 0;
        if (r < area.height) {
            const std::uint8_t* pixel = source.ptr<std::uint8_t>(top + r) + 3 * left;
            for (; x < area.width; ++x, pixel += 3) {
                blue[x] = pixel[0];
                green[x] = pixel[1];
                red[x] = pixel[2];
            }
        }
        std::fill(blue + x, blue + tile_.width, 0.0);
        std::fill(green + x, green + tile_.width, 0.0);
        std::fill(red + x, red + tile_.width, 0.0);
    }
}

Correlator::Sums FftCorrelator::Correlate(int worker, int left, int top, cv::Size size) {
    double* tile = tiles_[worker].data();
    FillTile(tile, *picture_, left, top,
             {size.width + templ_size_.width - 1, size.height + templ_size_.height - 1});
    fftw_execute_dft_r2c(plans_->forward.get(), tile, reinterpret_cast<fftw_complex*>(tile));

    // Sum of the channels' products with the template's spectra, into the first plane.
    double* a0 = tile;
    const double* a1 = a0 + channel_doubles_;
    const double* a2 = a1 + channel_doubles_;
    const double* s0 = spectra_.data();
    const double* s1 = s0 + channel_doubles_;
    const double* s2 = s1 + channel_doubles_;
    for (std::ptrdiff_t k = 0; k < channel_doubles_; k += 2) {
        const double re = a0[k] * s0[k] - a0[k + 1] * s0[k + 1] + a1[k] * s1[k] -
                          a1[k + 1] * s1[k + 1] + a2[k] * s2[k] - a2[k + 1] * s2[k + 1];
        const double im = a0[k] * s0[k + 1] + a0[k + 1] * s0[k] + a1[k] * s1[k + 1] +
                          a1[k + 1] * s1[k] + a2[k] * s2[k + 1] + a2[k + 1] * s2[k];
        a0[k] = re;
        a0[k + 1] = im;
    }
    fftw_execute_dft_c2r(plans_->inverse.get(), reinterpret_cast<fftw_complex*>(tile), tile);
    return {tile, row_doubles_};
}

}  // namespace vision
