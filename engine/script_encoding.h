// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace engine {

// Script files are UTF-8, or Shift-JIS (code page 932) when they were written on Windows;
// platform/code_page.h converts the latter.

// True when text is well-formed UTF-8: no stray continuation bytes, no truncated sequences,
// no overlong forms, no surrogates, nothing above U+10FFFF. Plain ASCII is valid.
bool IsValidUtf8(std::string_view text);

}  // namespace engine
