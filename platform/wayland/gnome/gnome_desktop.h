// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace platform::wayland::gnome {

class RemoteSession;
class PipeWireFrames;
class ShellWindows;
class GnomeDesktop;

struct OpenResult {
    std::unique_ptr<GnomeDesktop> desktop;
    std::string error;  // why there is no desktop
};

// The desktop of GNOME: keyboard, pointer and the monitor's picture through the RemoteDesktop
// and ScreenCast portals (the picture over PipeWire), windows and the stop chord through
// Ravelkin's GNOME Shell extension. The user allows the portal session in GNOME's dialog,
// once for all runs: the session service (ravelkin-gnome-session) holds the session between
// runs, and where the portal keeps the answer (RemoteDesktop version 2), between sessions
// too. Where the service is not installed, each run holds a session of its own.
//
// What it cannot do: see keys the user holds (the stop chord stands for right CTRL), tell
// where the user put the pointer, or watch the user's input for recording. It drives the one
// monitor the user shares.
class GnomeDesktop final : public Desktop {
  public:
    // Fails, saying why, where no portal offers RemoteDesktop and ScreenCast or the user does
    // not allow the session.
    static OpenResult Open();
    ~GnomeDesktop() override;

    Capabilities Can() const override;
    std::string BackendName() const override { return "gnome"; }
    bool IsKeyDown(std::uint8_t vk) override;
    void WatchStopKey(bool watching) override;
    std::string StopChord() override;
    Point PointerPosition() override { return pointer_; }
    void Pause(std::uint32_t ms) override;
    Size ScreenSize() override;
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    Bitmap& out) override;

    void ForEachWindow(const std::function<bool(WindowHandle)>& visit) override;
    std::string WindowTitle(WindowHandle window) override;
    bool IsWindowMinimised(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::optional<Rect> WindowRect(WindowHandle window) override;

    std::optional<std::string> Lost() const override;
    std::unique_ptr<InputWatch> WatchInput(std::string& error) override;
    // Why the last copy failed; why the windows cannot be listed, empty where they can.
    const std::string& copy_error() const { return copy_error_; }
    const std::string& windows_error() const { return windows_error_; }

  protected:
    void SendPointerMove(Point to) override;
    void SendButton(Button button, bool down) override;
    void SendKey(std::uint8_t vk, bool down) override;

  private:
    GnomeDesktop(std::unique_ptr<RemoteSession> session, std::unique_ptr<PipeWireFrames> frames);
    struct Windows;

    std::unique_ptr<RemoteSession> session_;
    std::unique_ptr<PipeWireFrames> frames_;
    std::unique_ptr<Windows> windows_;
    std::string copy_error_;
    std::string windows_error_;
    Point pointer_;
    bool stop_grabbed_ = false;
};

}  // namespace platform::wayland::gnome
