// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Converts code page 932 (Shift-JIS, as Japanese Windows writes text) to UTF-8. A byte that
// does not begin a character of the code page (or a lead byte whose pair is not one) becomes
// U+FFFD, and the conversion goes on with the next byte, so nothing after it is lost. Nothing
// when the system cannot convert at all (no converter for the code page).
std::optional<std::string> Cp932ToUtf8(std::string_view text);

// Converts ISO 8859-1 (X's STRING type) to UTF-8; every byte is a character.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace platform
