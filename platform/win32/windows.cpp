// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include "platform/system/win32/text.h"
#include "platform/win32/win32_desktop.h"

namespace platform::win32 {
namespace {

struct Visit {
    const std::function<bool(WindowHandle)>* visit;
};

BOOL CALLBACK EachWindow(HWND window, LPARAM context) {
    const Visit& v = *reinterpret_cast<const Visit*>(context);
    return (*v.visit)(reinterpret_cast<std::uintptr_t>(window)) ? TRUE : FALSE;
}

}  // namespace

HWND HandleOf(WindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}

void Win32Desktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
    Visit v{&visit};
    EnumWindows(&EachWindow, reinterpret_cast<LPARAM>(&v));
}

std::string Win32Desktop::WindowTitle(WindowHandle window) {
    const HWND handle = HandleOf(window);
    const int length = GetWindowTextLengthW(handle);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(handle, wide.data(), length + 1);
    if (got <= 0) return {};
    return Utf16ToUtf8(std::wstring_view(wide.data(), static_cast<std::size_t>(got)));
}

bool Win32Desktop::IsWindowMinimised(WindowHandle window) {
    return IsIconic(HandleOf(window)) != 0;
}

bool Win32Desktop::IsWindowVisible(WindowHandle window) {
    return ::IsWindowVisible(HandleOf(window)) != 0;
}

std::optional<Rect> Win32Desktop::WindowRect(WindowHandle window) {
    RECT r{};
    if (!GetWindowRect(HandleOf(window), &r)) return std::nullopt;
    return Rect{r.left, r.top, r.right, r.bottom};
}

}  // namespace platform::win32
