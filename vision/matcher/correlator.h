// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <opencv2/core/types.hpp>

namespace vision {

// Computes, for blocks of placements, the sum over the template's pixels and channels of
// template value times picture value. The sums are whole numbers; an FFT delivers them off by
// rounding errors far below 1/2, which the caller rounds away.
class Correlator {
  public:
    struct Sums {
        const double* values;  // row j of the block starts at values + j * stride
        std::ptrdiff_t stride;
    };

    virtual ~Correlator() = default;

    // The most placements one block holds, across and down.
    virtual cv::Size BlockSize() const = 0;
    // Working memory for this many threads, made on the calling thread. Throws std::bad_alloc.
    virtual void PrepareWorkers(int count) = 0;
    // Work on the template that must be done before the first block; allocates nothing, so
    // that any one thread may do it.
    virtual void PrepareTemplate() {}
    // Sums for the placements whose top-left corners are (left + i, top + j) with i below
    // size.width and j below size.height; size is at most BlockSize() and the block lies inside
    // the placements. Valid until the worker's next call. Workers may run at the same time.
    virtual Sums Correlate(int worker, int left, int top, cv::Size size) = 0;
};

}  // namespace vision
