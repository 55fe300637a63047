#include "platform/bitmap.h"

namespace platform {

void Bitmap24::Allocate(std::int32_t w, std::int32_t h, bool bottom_up) {
    width = w;
    height = h;
    const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(w) * 3 + 3) & ~std::ptrdiff_t{3};
    bytes.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), 0);
    if (bottom_up && h > 0) {
        pitch = -stride;
        top_row_offset = static_cast<std::size_t>(stride) * static_cast<std::size_t>(h - 1);
    } else {
        pitch = stride;
        top_row_offset = 0;
    }
}

}  // namespace platform
