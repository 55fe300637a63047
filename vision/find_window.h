#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/desktop.h"
#include "platform/geometry.h"

// Shared by FindWindowByTitle and its callback: the last window whose title held the text.
struct WindowSearch {
    std::optional<platform::WindowHandle> found;
    const char* title = "";
};

// Compares one window's title (its first 99 bytes) with the text; a match replaces any earlier
// one. Always true, so the enumeration runs through every window.
bool EnumTitleProc(platform::WindowHandle window, WindowSearch* search);

// 1 and both pairs written when a top-level window's title holds the text (case-sensitive; the
// last window in enumeration order wins), 0 and neither written when none does or the found
// window's rectangle cannot be read.
int FindWindowByTitle(const char* title, platform::Point* left_top, platform::Point* right_bottom);

// Whether a match may begin at byte pos of text: never inside a multi-byte character.
bool StartsCharacter(std::string_view text, std::size_t pos);
