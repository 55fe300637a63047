// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bitmap.h"

#include <new>
#include <utility>

namespace platform {

void Bitmap::Allocate(std::int32_t w, std::int32_t h, bool bottom_up) {
    Reset();
    if (w <= 0 || h <= 0) return;
    const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(w) * 3 + 3) & ~std::ptrdiff_t{3};
    const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(h);
    // More than a vector can hold is memory that cannot be had, as for any other size.
    if (size > bytes.max_size()) throw std::bad_alloc();
    bytes.assign(size, 0);
    width = w;
    height = h;
    if (bottom_up) {
        pitch = -stride;
        top_row_offset = static_cast<std::size_t>(stride) * static_cast<std::size_t>(h - 1);
    } else {
        pitch = stride;
        top_row_offset = 0;
    }
}

void Bitmap::Lend(std::shared_ptr<const std::uint8_t> memory, std::size_t size, std::int32_t w,
                  std::int32_t h, std::ptrdiff_t row_bytes, int pixel_bytes) {
    bytes.clear();
    lent_ = std::move(memory);
    lent_size_ = size;
    width = w;
    height = h;
    pitch = row_bytes;
    top_row_offset = 0;
    bytes_per_pixel = pixel_bytes;
}

}  // namespace platform
