// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/absolute_position.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::WindowsAbsoluteFromPixel;

// Windows maps an absolute position d back to floor(d * size / 65536): what we send for a
// pixel must come back as that pixel, at every pixel of the screen, and stay in 0..65535.
TEST(WindowsAbsolutePosition, EveryPixelComesBackUnderTheFloor) {
    for (const std::int32_t size :
         {1, 2, 3, 7, 640, 800, 1080, 1366, 1920, 2560, 4096, 7680, 32767, 40000, 65536}) {
        int misses = 0;
        for (std::int32_t p = 0; p < size; ++p) {
            const std::uint32_t sent = WindowsAbsoluteFromPixel(p, size);
            const auto back = static_cast<std::int32_t>(std::uint64_t{sent} * size / 65536);
            if ((back != p || sent > 65535) && ++misses <= 3) {
                ADD_FAILURE() << "size " << size << " pixel " << p << " sent " << sent
                              << " comes back as " << back;
            }
        }
    }
    // A pixel beyond the screen goes to its edge, never past it.
    EXPECT_EQ(WindowsAbsoluteFromPixel(5000, 1920) * 1920ull / 65536, 1919u);
    EXPECT_EQ(WindowsAbsoluteFromPixel(-3, 1920), 0u);
}

}  // namespace
