// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <chrono>

#include "base/stop_request.h"
#include "platform/win32/input_watch.h"
#include "platform/win32/win32_desktop.h"

namespace platform::win32 {

Win32Desktop::Win32Desktop() = default;
Win32Desktop::~Win32Desktop() = default;

bool Win32Desktop::IsKeyDown(std::uint8_t vk) {
    return (static_cast<unsigned short>(GetAsyncKeyState(vk)) & 0x8000) != 0;
}

Point Win32Desktop::PointerPosition() {
    POINT at{};
    GetCursorPos(&at);
    return {at.x, at.y};
}

void Win32Desktop::Pause(std::uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    constexpr std::uint32_t kSliceMs = 20;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop_request::IsRaised()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        Sleep(std::min<std::uint32_t>(kSliceMs, static_cast<std::uint32_t>(left.count())));
    }
}

std::unique_ptr<InputWatch> Win32Desktop::WatchInput(std::string& error) {
    return WatchWin32Input(error);
}

Size Win32Desktop::ScreenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace platform::win32
