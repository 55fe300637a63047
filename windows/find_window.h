// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop.h"
#include "platform/geometry.h"

namespace windows {

struct WindowMatch {
    platform::WindowHandle handle = 0;
    std::string title;    // as the lookup compares it: the first 99 bytes, up to a NUL
    platform::Rect rect;  // the outer rectangle in screen pixels, when located
    bool minimised = false;
    bool located = true;  // false where the desktop tells no window's rectangle
};

// The top-level window whose title holds the text (case-sensitive, within the title's first
// 99 bytes; the last window in enumeration order wins, and the empty text matches every
// window). Nothing when none does or the found window's rectangle cannot be read; on a desktop
// that tells no rectangles, the match without one.
std::optional<WindowMatch> FindWindowByTitle(platform::Desktop& desktop, std::string_view text);

// A window's title as FindWindowByTitle compares it.
std::string MatchedTitle(platform::Desktop& desktop, platform::WindowHandle window);

// The fewest whole words of title, three bytes at least and beginning and ending with a word
// of letters or digits, that no title among others holds as
// FindWindowByTitle looks, so that they find this window alone; the whole title when every
// such piece is in another.
std::string UniqueTitlePiece(std::string_view title, const std::vector<std::string>& others);

}  // namespace windows
