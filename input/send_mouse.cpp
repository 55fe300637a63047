// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/send_mouse.h"

#include <algorithm>

namespace input {
namespace {

// round(d * size / 65535), at most the last pixel.
std::int32_t PixelFromAbsolute(std::uint32_t d, std::int32_t size) {
    const std::int64_t pixel = (std::int64_t{d} * size + 32767) / 65535;
    return static_cast<std::int32_t>(std::min<std::int64_t>(pixel, size - 1));
}

}  // namespace

platform::Point LandingPixel(std::uint32_t x, std::uint32_t y, platform::Size screen) {
    const auto width = static_cast<std::uint32_t>(screen.width);
    const auto height = static_cast<std::uint32_t>(screen.height);
    return {PixelFromAbsolute(x * 65535u / width, screen.width),
            PixelFromAbsolute(y * 65535u / height, screen.height)};
}

int MoveTo(platform::Desktop& desktop, std::uint32_t x, std::uint32_t y, platform::Size screen) {
    if (screen.width <= 0 || screen.height <= 0) return -1;
    desktop.MovePointer(LandingPixel(x, y, screen));
    return 0;
}

int SendMouse(platform::Desktop& desktop, MouseAction action, std::uint32_t x, std::uint32_t y) {
    using platform::Button;
    switch (action) {
        case MouseAction::kMove:
            // Read anew each time: the screen may have changed size since the last move.
            return MoveTo(desktop, x, y, desktop.ScreenSize());
        case MouseAction::kClick:
            desktop.PressButton(Button::kLeft, true);
            desktop.PressButton(Button::kLeft, false);
            return 0;
        case MouseAction::kLeftDown:
            desktop.PressButton(Button::kLeft, true);
            return 0;
        case MouseAction::kLeftUp:
            desktop.PressButton(Button::kLeft, false);
            return 0;
        case MouseAction::kRightClick:
            desktop.PressButton(Button::kRight, true);
            desktop.PressButton(Button::kRight, false);
            return 0;
    }
    return -1;
}

}  // namespace input
