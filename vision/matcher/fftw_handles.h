// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fftw3.h>

#include <cstddef>
#include <memory>
#include <new>

namespace vision {

struct FftwPlanDeleter {
    void operator()(fftw_plan_s* plan) const { fftw_destroy_plan(plan); }
};
// A plan made once and destroyed with its owner.
using FftwPlan = std::unique_ptr<fftw_plan_s, FftwPlanDeleter>;

// Doubles from fftw_malloc, aligned as FFTW's SIMD code wants; every buffer made here has the
// same alignment, so that a plan made on one may run on another. Grows, never shrinks.
class FftwDoubles {
  public:
    FftwDoubles() = default;
    explicit FftwDoubles(std::size_t count) { Reserve(count); }

    // Keeps the contents only when no growth is needed. Throws std::bad_alloc.
    void Reserve(std::size_t count) {
        if (count <= capacity_) return;
        data_.reset(nullptr);
        capacity_ = 0;
        if (count > static_cast<std::size_t>(-1) / sizeof(double)) throw std::bad_alloc();
        data_.reset(fftw_alloc_real(count));
        if (!data_) throw std::bad_alloc();
        capacity_ = count;
    }
    double* data() const { return data_.get(); }
    fftw_complex* complex_data() const { return reinterpret_cast<fftw_complex*>(data_.get()); }
    std::size_t capacity() const { return capacity_; }

  private:
    struct Free {
        void operator()(double* p) const { fftw_free(p); }
    };
    std::unique_ptr<double, Free> data_;
    std::size_t capacity_ = 0;
};

}  // namespace vision
