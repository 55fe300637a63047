// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/code_page.h"

#include <windows.h>

#include "platform/system/win32/text.h"

namespace platform {
namespace {

unsigned char Byte(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

}  // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view text) {
    constexpr UINT kCodePage = 932;
    // One character at a time, so that a byte the code page rejects costs only itself.
    std::wstring wide;
    for (std::size_t pos = 0; pos < text.size();) {
        const bool pair = IsDBCSLeadByteEx(kCodePage, Byte(text, pos)) && pos + 1 < text.size();
        const int length = pair ? 2 : 1;
        wchar_t units[2];
        const int count = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data() + pos,
                                              length, units, 2);
        if (count > 0) {
            wide.append(units, static_cast<std::size_t>(count));
            pos += static_cast<std::size_t>(length);
        } else {
            wide += L'\xFFFD';
            ++pos;
        }
    }
    // Every unit is a character or U+FFFD, so the conversion cannot fail.
    return win32::Utf16ToUtf8(wide);
}

}  // namespace platform
