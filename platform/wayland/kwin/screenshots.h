// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/bitmap.h"
#include "platform/geometry.h"

struct sd_bus;

namespace platform::wayland::kwin {

// KWin's screenshots (org.kde.KWin.ScreenShot2 on the session bus): the pixels of an area of
// the screen, without the cursor, sent back through a pipe. KWin answers only a program whose
// installed desktop file names the interface.
class ScreenShots {
  public:
    // Connects to the session bus; nullptr with the reason in error when there is none.
    static std::unique_ptr<ScreenShots> Open(std::string& error);
    ~ScreenShots();
    ScreenShots(const ScreenShots&) = delete;
    ScreenShots& operator=(const ScreenShots&) = delete;

    // Copies the area, in KWin's global logical pixels, into out with its top-left corner at
    // (at.x, at.y) of out, which must hold it. False, with the reason in error(), when KWin
    // refused or sent something other than the area.
    bool Capture(Rect area, Bitmap& out, Point at);
    const std::string& error() const { return error_; }

  private:
    explicit ScreenShots(sd_bus* bus) : bus_(bus) {}
    bool Fail(std::string why);

    sd_bus* bus_;
    std::string error_;
};

// Where red, green and blue lie in a pixel of one of Qt's image formats, as KWin names the
// format it sends: the byte offsets, or nothing for a format we cannot read.
struct ChannelOffsets {
    int red, green, blue;
};
bool ChannelsOf(std::uint32_t qt_format, ChannelOffsets& offsets);

}  // namespace platform::wayland::kwin
