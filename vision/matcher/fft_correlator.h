// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

#include "vision/matcher/correlator.h"
#include "vision/matcher/fftw_handles.h"

namespace vision {

struct TilePlans;

// Correlation by FFT in double precision, tile by tile: each tile of the picture is
// transformed once for its three channels, multiplied by the template's spectra, summed over
// the channels and transformed back once. Tiles overlap by the template's size less one, so
// every placement inside a tile is a plain (not wrapped) correlation. The buffers are kept
// from one search to the next.
class FftCorrelator final : public Correlator {
  public:
    // Plans for tiles of this size and makes room for the template's spectra; keeps pointers
    // to both pictures. False when FFTW cannot plan the size. Throws std::bad_alloc.
    bool Setup(const cv::Mat& picture, const cv::Mat& templ, cv::Size tile);

    cv::Size BlockSize() const override { return block_; }
    void PrepareWorkers(int count) override;
    // The template's spectra.
    void PrepareTemplate() override;
    Sums Correlate(int worker, int left, int top, cv::Size size) override;

  private:
    // Copies the picture area at (left, top) into the three channel planes of a tile, as
    // doubles, with zeros wherever the area does not reach.
    void FillTile(double* tile, const cv::Mat& source, int left, int top, cv::Size area) const;

    const cv::Mat* picture_ = nullptr;
    const cv::Mat* templ_ = nullptr;
    cv::Size templ_size_;
    cv::Size tile_;
    cv::Size block_;
    const TilePlans* plans_ = nullptr;
    std::ptrdiff_t row_doubles_ = 0;      // a tile row, padded for the in-place transform
    std::ptrdiff_t channel_doubles_ = 0;  // one channel plane
    FftwDoubles spectra_;                 // the template's, conjugated and scaled by 1 / tile area
    std::vector<FftwDoubles> tiles_;      // one per worker
};

}  // namespace vision
