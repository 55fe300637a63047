#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// A 24-bit blue-green-red screen copy. Rows may be stored bottom-up: TopRow() is the
// address of the top row and pitch the signed distance from a row to the one below it.
struct Bitmap24 {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t pitch = 0;
    std::size_t top_row_offset = 0;
    std::vector<std::uint8_t> bytes;

    static constexpr int kBitsPerPixel = 24;

    const std::uint8_t* TopRow() const { return bytes.data() + top_row_offset; }
    std::uint8_t* TopRow() { return bytes.data() + top_row_offset; }

    // Lays out a black bitmap; rows padded to 4 bytes, as a device-independent bitmap is.
    void Allocate(std::int32_t w, std::int32_t h, bool bottom_up);
};

}  // namespace platform
