// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "base/trace.h"
#include "vision/capture_desktop.h"

namespace vision {
namespace {

// True when every row the copy reads lies inside the bitmap's bytes, so that a malformed
// bitmap from a backend can never make us read outside its buffer.
bool RowsInside(const platform::Bitmap& bitmap) {
    const std::uint64_t size = bitmap.size();
    const std::uint64_t row_bytes = static_cast<std::uint64_t>(bitmap.width) *
                                    static_cast<std::uint64_t>(bitmap.bytes_per_pixel);
    const std::uint64_t stride = bitmap.pitch < 0 ? 0 - static_cast<std::uint64_t>(bitmap.pitch)
                                                  : static_cast<std::uint64_t>(bitmap.pitch);
    const auto gaps = static_cast<std::uint64_t>(bitmap.height) - 1;
    if (stride < row_bytes || (stride > 0 && gaps > size / stride)) return false;
    const std::uint64_t span = stride * gaps;  // from the first row in memory to the last
    const std::uint64_t top = bitmap.top_row_offset;
    if (bitmap.pitch < 0 && top < span) return false;
    const std::uint64_t lowest = bitmap.pitch < 0 ? top - span : top;
    return lowest <= size && span <= size - lowest && row_bytes <= size - lowest - span;
}

}  // namespace

int ConvertToMat(cv::Mat* picture, const platform::Bitmap& bitmap) {
    const int pixel_bytes = bitmap.bytes_per_pixel;
    if (bitmap.width <= 0 || bitmap.height <= 0 || (pixel_bytes != 3 && pixel_bytes != 4) ||
        !RowsInside(bitmap)) {
        return 0;
    }
    try {
        cv::Mat made(bitmap.height, bitmap.width, CV_8UC3);
        // The source is only read; OpenCV's headers take non-const memory.
        auto* top = const_cast<std::uint8_t*>(bitmap.TopRow());
        if (pixel_bytes == 4 && bitmap.pitch == bitmap.width * 4) {
            // Dropping the pad byte is the one pass over the pixels. Seen as one row, the
            // pixels are converted on this thread: over OpenCV's threads the pass is no faster,
            // as memory bounds it, and their threads then spin a while on the core that the
            // search's second worker needs.
            const cv::Mat padded(1, bitmap.width * bitmap.height, CV_8UC4, top);
            cv::Mat one_row = made.reshape(0, 1);
            cv::cvtColor(padded, one_row, cv::COLOR_BGRA2BGR);
        } else if (pixel_bytes == 4 && bitmap.pitch > 0) {
            const cv::Mat padded(bitmap.height, bitmap.width, CV_8UC4, top,
                                 static_cast<std::size_t>(bitmap.pitch));
            cv::cvtColor(padded, made, cv::COLOR_BGRA2BGR);
        } else {
            // The pitch is negative for a bottom-up bitmap: walking it from the top row down
            // gives a picture whose first row is the top row.
            const std::size_t row_bytes = static_cast<std::size_t>(bitmap.width) * 3;
            for (int row = 0; row < bitmap.height; ++row) {
                std::uint8_t* source = top + row * bitmap.pitch;
                if (pixel_bytes == 3) {
                    std::memcpy(made.ptr(row), source, row_bytes);
                } else {
                    cv::cvtColor(cv::Mat(1, bitmap.width, CV_8UC4, source), made.row(row),
                                 cv::COLOR_BGRA2BGR);
                }
            }
        }
        *picture = std::move(made);
        return 1;
    } catch (const std::exception&) {
        // Out of memory for the picture.
        return 0;
    }
}

bool CaptureDesktop(platform::Desktop& desktop, cv::Mat* picture, const platform::Rect& area) {
    const platform::Size screen = desktop.ScreenSize();
    // Only the size is limited to the screen; the starting point stays where the area begins.
    // 64 bits, so that an area from INT_MIN to INT_MAX neither overflows nor asks for more than
    // a screen's worth of pixels.
    const std::int64_t width =
        std::min<std::int64_t>(screen.width, std::int64_t{area.right} - area.left);
    const std::int64_t height =
        std::min<std::int64_t>(screen.height, std::int64_t{area.bottom} - area.top);
    trace::Printf("画像サイズ: %lld, %lld\n", static_cast<long long>(width),
                  static_cast<long long>(height));
    if (width <= 0 || height <= 0) return false;

    platform::Bitmap bitmap;
    // A failed copy would leave a black picture that could still "match"; it is a failure.
    if (!desktop.CopyScreen(area.left, area.top, static_cast<std::int32_t>(width),
                            static_cast<std::int32_t>(height), bitmap)) {
        return false;
    }
    return ConvertToMat(picture, bitmap) != 0;
}

}  // namespace vision
