// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// Between UTF-8, the program's narrow text, and the UTF-16 of the wide Windows calls.
std::wstring Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::wstring_view wide);

}  // namespace platform::win32
