// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/absolute_position.h"
#include "platform/win32/win32_desktop.h"

namespace platform::win32 {

void Win32Desktop::SendPointerMove(Point to) {
    const Size screen = ScreenSize();
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE,
                WindowsAbsoluteFromPixel(to.x, screen.width),
                WindowsAbsoluteFromPixel(to.y, screen.height), 0, 0);
}

void Win32Desktop::SendButton(Button button, bool down) {
    const DWORD flags = button == Button::kLeft
                            ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                            : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
    mouse_event(flags, 0, 0, 0, 0);
}

void Win32Desktop::SendKey(std::uint8_t vk, bool down) {
    keybd_event(vk, 0, down ? 0 : KEYEVENTF_KEYUP, 0);
}

}  // namespace platform::win32
