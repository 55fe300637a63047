// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>

namespace platform::x11 {

// Reads pixels of the root window. Two ways, chosen once at run time: MIT-SHM, where the
// server writes straight into a segment we share, and plain XGetImage, which works on any
// server, remote ones included.
class Capturer {
  public:
    virtual ~Capturer() = default;
    // The w x h pixels at (x, y), a rectangle that must lie inside the root window; null when
    // the server refused (the screen shrank meanwhile, for instance). The image stays as it is
    // for as long as it is held.
    virtual std::shared_ptr<const XImage> Grab(int x, int y, int w, int h) = 0;
    virtual const char* name() const = 0;
};

// Null when the server lacks MIT-SHM or cannot attach our segment (a remote server).
std::unique_ptr<Capturer> MakeShmCapturer(Display* display, Window root);
std::unique_ptr<Capturer> MakeGetImageCapturer(Display* display, Window root);

// True for the images ConvertRow reads: TrueColor-style masks, 16, 24 or 32 bits a pixel.
bool CanConvert(const XImage& image);
// True for the layout a copy can lend as it is: blue, green, red and a pad byte a pixel.
bool IsPaddedBgr(const XImage& image);
// Writes count pixels of one image row, from column 0, as blue, green, red bytes.
void ConvertRow(const XImage& image, int row, int count, std::uint8_t* bgr);

}  // namespace platform::x11
