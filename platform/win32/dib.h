// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

namespace platform::win32 {

// The header of an uncompressed device-independent bitmap with its top row first, as the
// screen copies and the windows that paint pictures use it.
inline BITMAPINFO TopDownDibInfo(LONG width, LONG height, WORD bits_per_pixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits_per_pixel;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace platform::win32
