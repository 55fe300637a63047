// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <variant>

namespace engine {

// Reads numbers the way the standard formatted scan does, for a fixed pattern of the program's
// own: "%d" an optionally signed decimal integer after white space, "%lf" a real number, a
// space any run of white space (none included), any other character itself. Text after the
// last field is ignored. Returns how many fields were converted before the first mismatch.
// Unlike the C scan, an integer that does not fit 32 bits is reported as kOutOfRange instead
// of wrapping to an arbitrary value; real numbers are read without regard to the locale.
using ScanTarget = std::variant<std::int32_t*, double*>;
inline constexpr int kOutOfRange = -2;

int ScanNumbers(std::string_view text, std::string_view pattern,
                std::initializer_list<ScanTarget> targets);

}  // namespace engine
