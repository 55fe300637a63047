#pragma once

#include <optional>
#include <string>
#include <string_view>

// Script files are UTF-8, or Shift-JIS (code page 932) when they were written on Windows.

// True when text is well-formed UTF-8: no stray continuation bytes, no truncated sequences,
// no overlong forms, no surrogates, nothing above U+10FFFF. Plain ASCII is valid.
bool IsValidUtf8(std::string_view text);

// Converts code page 932 text to UTF-8. A byte that does not begin a character of the code
// page (or a lead byte whose pair is not one) becomes U+FFFD, and the conversion goes on with
// the next byte, so nothing after it is lost. Nothing when the system cannot convert at all
// (no converter for the code page).
std::optional<std::string> Cp932ToUtf8(std::string_view text);
