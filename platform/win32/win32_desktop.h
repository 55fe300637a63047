// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "platform/desktop.h"

namespace platform::win32 {

struct Dib;

// The desktop of the Windows session the program runs in: input through mouse_event and
// keybd_event, screen copies from the desktop window's device context, top-level windows
// through EnumWindows, the user's input watched through low-level hooks.
class Win32Desktop final : public Desktop {
  public:
    Win32Desktop();
    ~Win32Desktop() override;

    std::string BackendName() const override { return "win32"; }
    bool IsKeyDown(std::uint8_t vk) override;
    Point PointerPosition() override;
    // Returns early, within a few tens of milliseconds, once a stop has been requested.
    void Pause(std::uint32_t ms) override;
    Size ScreenSize() override;
    // Copies into a 24-bit device-independent bitmap section, which the copy then holds.
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    Bitmap& out) override;

    void ForEachWindow(const std::function<bool(WindowHandle)>& visit) override;
    // GetWindowTextW's text as UTF-8.
    std::string WindowTitle(WindowHandle window) override;
    bool IsWindowMinimised(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::optional<Rect> WindowRect(WindowHandle window) override;
    // Through low-level hooks on a thread of the watch's own (input_watch.h).
    std::unique_ptr<InputWatch> WatchInput(std::string& error) override;

  protected:
    // Sends the absolute position that Windows maps back to the pixel on the primary screen.
    void SendPointerMove(Point to) override;
    void SendButton(Button button, bool down) override;
    void SendKey(std::uint8_t vk, bool down) override;

  private:
    // The section of the last copy, written again when no copy holds it any more.
    std::shared_ptr<Dib> dib_;
};

HWND HandleOf(WindowHandle window);

}  // namespace platform::win32
