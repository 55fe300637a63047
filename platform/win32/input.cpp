#include "platform/absolute_position.h"
#include "platform/virtual_keys.h"
#include "platform/win32/win32_desktop.h"

namespace platform::win32 {

void Win32Desktop::SendMouseEvent(std::uint32_t flags, std::uint32_t dx, std::uint32_t dy) {
    if ((flags & mouse::kMove) && (flags & mouse::kAbsolute)) {
        // Windows maps the absolute space with a floor: the pixel the value names is sent
        // again in the form that lands on it.
        const Size screen = ScreenSize();
        dx = WindowsAbsoluteFromPixel(PixelFromAbsolute(dx, screen.width), screen.width);
        dy = WindowsAbsoluteFromPixel(PixelFromAbsolute(dy, screen.height), screen.height);
    }
    mouse_event(flags, dx, dy, 0, 0);
}

void Win32Desktop::SendKeyEvent(std::uint8_t vk, bool down) {
    keybd_event(vk, 0, down ? 0 : KEYEVENTF_KEYUP, 0);
}

}  // namespace platform::win32
