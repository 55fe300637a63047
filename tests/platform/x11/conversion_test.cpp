// SPDX-License-Identifier: GPL-3.0-or-later
// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "platform/x11/capture.h"

namespace {

using platform::x11::CanConvert;
using platform::x11::ConvertRow;

// An image header over bytes, as XGetImage or XShmGetImage would hand it over.
XImage Header(std::vector<std::uint8_t>& bytes, int width, int bpp, int order, unsigned long red,
              unsigned long green, unsigned long blue) {
    XImage image{};
    image.width = width;
    image.height = 1;
    image.format = ZPixmap;
    image.data = reinterpret_cast<char*>(bytes.data());
    image.byte_order = order;
    image.bits_per_pixel = bpp;
    image.bytes_per_line = static_cast<int>(bytes.size());
    image.red_mask = red;
    image.green_mask = green;
    image.blue_mask = blue;
    return image;
}

TEST(X11PixelConversion, EveryTrueColourLayoutGivesBlueGreenRed) {
    // Each layout holds the same two pixels: (r, g, b) = (0x12, 0x34, 0x56) and white.
    const std::vector<std::uint8_t> bgr = {0x56, 0x34, 0x12, 0xff, 0xff, 0xff};
    const auto expect = [](const char* name, int bpp, int order, unsigned long red,
                           unsigned long green, unsigned long blue, std::vector<std::uint8_t> bytes,
                           const std::vector<std::uint8_t>& want) {
        SCOPED_TRACE(name);
        const XImage image = Header(bytes, 2, bpp, order, red, green, blue);
        ASSERT_TRUE(CanConvert(image));
        // One byte more than needed, to see that nothing is written past the row.
        std::vector<std::uint8_t> out(7, 0xEE);
        ConvertRow(image, 0, 2, out.data());
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 6), want);
        EXPECT_EQ(out[6], 0xEE);
    };
    expect("32 bits, usual masks", 32, LSBFirst, 0xff0000, 0xff00, 0xff,
           {0x56, 0x34, 0x12, 0x99, 0xff, 0xff, 0xff, 0x00}, bgr);
    expect("32 bits, red in the low byte", 32, LSBFirst, 0xff, 0xff00, 0xff0000,
           {0x12, 0x34, 0x56, 0x00, 0xff, 0xff, 0xff, 0x00}, bgr);
    expect("32 bits, server of the other byte order", 32, MSBFirst, 0xff0000, 0xff00, 0xff,
           {0x00, 0x12, 0x34, 0x56, 0x00, 0xff, 0xff, 0xff}, bgr);
    expect("24 bits packed", 24, LSBFirst, 0xff0000, 0xff00, 0xff,
           {0x56, 0x34, 0x12, 0xff, 0xff, 0xff}, bgr);
    // r = 0x12 << 2, g = 0x34 << 2, b = 0x56 << 2; then all ones.
    expect("30 bits, 10 a channel", 32, LSBFirst, 0x3ff00000, 0xffc00, 0x3ff,
           {0x58, 0x41, 0x83, 0x04, 0xff, 0xff, 0xff, 0x3f}, bgr);
    // r = 2 of 31, g = 13 of 63, b = 10 of 31, scaled to 255 and rounded.
    expect("16 bits, 5-6-5", 16, LSBFirst, 0xf800, 0x07e0, 0x001f, {0xaa, 0x11, 0xff, 0xff},
           {0x52, 0x35, 0x10, 0xff, 0xff, 0xff});
    // Layouts without colour masks are refused.
    std::vector<std::uint8_t> bytes(8);
    EXPECT_FALSE(CanConvert(Header(bytes, 2, 8, LSBFirst, 0, 0, 0)));  // palette
    EXPECT_FALSE(CanConvert(Header(bytes, 2, 32, LSBFirst, 0xff0000, 0, 0xff)));
    EXPECT_FALSE(CanConvert(Header(bytes, 2, 32, LSBFirst, 0xf0f000, 0xff00, 0xff)));
    XImage xy = Header(bytes, 2, 32, LSBFirst, 0xff0000, 0xff00, 0xff);
    xy.format = XYPixmap;
    EXPECT_FALSE(CanConvert(xy));
}

// The usual layout goes through a vector path in blocks of pixels; rows of every length
// must come out whole, with nothing written past their end.
TEST(X11PixelConversion, UsualLayoutRowsOfAnyLengthAreExact) {
    for (const int width : {1, 2, 5, 6, 7, 9, 16, 37, 1920}) {
        SCOPED_TRACE(width);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * 4);
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
        const XImage image = Header(bytes, width, 32, LSBFirst, 0xff0000, 0xff00, 0xff);
        std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * 3 + 16, 0xEE);
        ConvertRow(image, 0, width, out.data());
        int wrong = 0;
        for (int i = 0; i < 3 * width; ++i) wrong += out[i] != bytes[i / 3 * 4 + i % 3];
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(std::count(out.begin() + 3 * width, out.end(), 0xEE), 16);
    }
}

}  // namespace
