// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// A blue-green-red screen copy: three bytes a pixel, or four with a pad byte last (the
// layout of a 32-bit device-independent bitmap and of most X servers' screens, which a
// backend can then hand over without converting). Rows may be stored bottom-up: TopRow() is
// the address of the top row and pitch the signed distance from a row to the one below it.
//
// The pixels are either the bitmap's own bytes or memory a backend lends it (a segment the
// server wrote into), kept alive for as long as the bitmap holds it.
struct Bitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t pitch = 0;
    std::size_t top_row_offset = 0;
    int bytes_per_pixel = 3;
    std::vector<std::uint8_t> bytes;

    const std::uint8_t* data() const { return lent_ ? lent_.get() : bytes.data(); }
    std::size_t size() const { return lent_ ? lent_size_ : bytes.size(); }
    const std::uint8_t* TopRow() const { return data() + top_row_offset; }
    // Only for a bitmap that owns its bytes.
    std::uint8_t* TopRow() { return bytes.data() + top_row_offset; }

    // Lets go of the pixels, lent or owned.
    void Reset() { *this = Bitmap(); }
    // Lays out a black three-byte bitmap of its own; rows padded to 4 bytes, as a
    // device-independent bitmap is. A width or height below 1 leaves the bitmap empty, which
    // no copy accepts; throws std::bad_alloc when the memory cannot be had.
    void Allocate(std::int32_t w, std::int32_t h, bool bottom_up);
    // Shows size bytes of memory that stays valid while memory is held; rows top-down.
    void Lend(std::shared_ptr<const std::uint8_t> memory, std::size_t size, std::int32_t w,
              std::int32_t h, std::ptrdiff_t row_bytes, int pixel_bytes);

  private:
    std::shared_ptr<const std::uint8_t> lent_;
    std::size_t lent_size_ = 0;
};

}  // namespace platform
