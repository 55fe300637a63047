// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/wayland/connection.h"

namespace platform::wayland::kwin {

struct Globals;
class PlasmaWindows;
class ScreenShots;
class StopShortcut;
class KWinDesktop;

struct OpenResult {
    std::unique_ptr<KWinDesktop> desktop;
    std::string error;  // why there is no desktop
};

// The desktop of KDE Plasma's KWin: input through its fake input, windows through plasma
// window management, screen copies through its screenshots on the session bus. KWin grants
// these only to a program whose installed desktop file lists them.
//
// What it cannot do: see keys the user holds (right CTRL alone among them: the chord of
// StopChord stops a run instead), tell where the user put the pointer, or watch the user's
// input for recording. Keys go by the US keyboard's key
// positions, read through KWin's own keymap; a key that keyboard lacks is not sent.
class KWinDesktop final : public Desktop {
  public:
    // Connects to the compositor WAYLAND_DISPLAY names and to the session bus; fails, saying
    // why, where KWin does not grant what we need.
    static OpenResult Open();
    ~KWinDesktop() override;

    Capabilities Can() const override;
    std::string BackendName() const override { return "kwin"; }
    // Keys and buttons our own events hold: KWin tells no client the user's keys. Right CTRL
    // is down while the stop chord is, or once after it was pressed, when it is watched.
    bool IsKeyDown(std::uint8_t vk) override;
    void WatchStopKey(bool watching) override;
    std::string StopChord() override;
    // Where our own events last put the pointer.
    Point PointerPosition() override { return pointer_; }
    void Pause(std::uint32_t ms) override;
    Size ScreenSize() override;
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    Bitmap& out) override;

    // In KWin's stacking order, top first.
    void ForEachWindow(const std::function<bool(WindowHandle)>& visit) override;
    std::string WindowTitle(WindowHandle window) override;
    bool IsWindowMinimised(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::optional<Rect> WindowRect(WindowHandle window) override;

    std::optional<std::string> Lost() const override { return connection_->Lost(); }
    std::unique_ptr<InputWatch> WatchInput(std::string& error) override;
    // Why the last copy failed.
    const std::string& copy_error() const { return copy_error_; }

  protected:
    void SendPointerMove(Point to) override;
    void SendButton(Button button, bool down) override;
    void SendKey(std::uint8_t vk, bool down) override;

  private:
    KWinDesktop(std::unique_ptr<Globals> globals, std::unique_ptr<Connection> connection,
                std::unique_ptr<ScreenShots> shots);
    // Returns once KWin has taken the events sent so far.
    void Delivered();

    // Declared first, gone last: the globals below are proxies of its display.
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<Globals> globals_;
    std::unique_ptr<PlasmaWindows> windows_;
    std::unique_ptr<ScreenShots> shots_;
    std::unique_ptr<StopShortcut> stop_;
    std::string copy_error_;
    Point pointer_;
};

}  // namespace platform::wayland::kwin
