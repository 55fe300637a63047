// SPDX-License-Identifier: GPL-3.0-or-later
// wayland_shot PATH: one copy of the whole screen through the Wayland backend, written to PATH
// as a binary PPM (P6), the format `grim -t ppm` writes: the whole-process contender of
// wayland_capture_bench. It opens the backend as ravelkin does (virtual input and, under sway,
// its IPC included). Exit status 0 when written, 1 when the copy or the file failed, 69 when
// no compositor could be reached.
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/bitmap.h"
#include "platform/wayland/wayland_desktop.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: wayland_shot PATH\n");
        return 64;
    }
    platform::wayland::OpenResult opened = platform::wayland::WaylandDesktop::Open();
    if (!opened.desktop) {
        std::fprintf(stderr, "wayland_shot: %s\n", opened.error.c_str());
        return 69;
    }
    platform::wayland::WaylandDesktop& desktop = *opened.desktop;
    const platform::Size size = desktop.ScreenSize();
    platform::Bitmap copy;
    if (!desktop.CopyScreen(0, 0, size.width, size.height, copy)) {
        std::fprintf(stderr, "wayland_shot: %s\n", desktop.copy_error().c_str());
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", copy.width, copy.height);
    // Blue-green-red (and a pad byte) to red-green-blue, a row at a time.
    const int step = copy.bytes_per_pixel;
    std::vector<unsigned char> row(static_cast<std::size_t>(copy.width) * 3);
    bool written = true;
    for (std::int32_t y = 0; y < copy.height && written; ++y) {
        // The pixels may be lent by the backend: read them through the bitmap's view.
        const std::uint8_t* from = std::as_const(copy).TopRow() + y * copy.pitch;
        for (std::int32_t x = 0; x < copy.width; ++x, from += step) {
            row[3 * x] = from[2];
            row[3 * x + 1] = from[1];
            row[3 * x + 2] = from[0];
        }
        written = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    return std::fclose(out) == 0 && written ? 0 : 1;
}
