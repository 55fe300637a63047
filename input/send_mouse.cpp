#include "input/send_mouse.h"

#include "platform/virtual_keys.h"

namespace input {

int SendMouse(platform::Desktop& desktop, int code, std::uint32_t x, std::uint32_t y) {
    namespace mouse = platform::mouse;
    switch (code) {
        case 4: {
            // Read anew each time: the screen may have changed size since the last move.
            const platform::Size screen = desktop.ScreenSize();
            if (screen.width <= 0 || screen.height <= 0) return -1;
            // Unsigned 32-bit arithmetic, truncated: x = 0 gives 0 and x = width gives 65535.
            const std::uint32_t dx = x * 65535u / static_cast<std::uint32_t>(screen.width);
            const std::uint32_t dy = y * 65535u / static_cast<std::uint32_t>(screen.height);
            desktop.MouseEvent(mouse::kMove | mouse::kAbsolute, dx, dy);
            return 0;
        }
        case 5:
            desktop.MouseEvent(mouse::kLeftDown, 0, 0);
            desktop.MouseEvent(mouse::kLeftUp, 0, 0);
            return 0;
        case 6:
            desktop.MouseEvent(mouse::kLeftDown, 0, 0);
            return 0;
        case 7:
            desktop.MouseEvent(mouse::kLeftUp, 0, 0);
            return 0;
        case 8:
            desktop.MouseEvent(mouse::kRightDown, 0, 0);
            desktop.MouseEvent(mouse::kRightUp, 0, 0);
            return 0;
        default:
            return -1;
    }
}

}  // namespace input
