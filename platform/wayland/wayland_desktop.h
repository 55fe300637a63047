// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/wayland/connection.h"
#include "platform/wayland/screen_copy.h"
#include "platform/wayland/virtual_input.h"

namespace platform::wayland {

class SwayIpc;
class StopKeyBinding;
class ScratchpadHider;
class PointerTracker;
struct SwayView;

class WaylandDesktop;

struct OpenResult {
    std::unique_ptr<WaylandDesktop> desktop;
    std::string error;  // why there is no desktop
};

// The desktop of a compositor that offers the wlr protocols. Screen points are layout
// points counted from the top-left corner of the box around every output. Under sway its IPC
// adds the windows' rectangles and the stop key.
class WaylandDesktop final : public Desktop {
  public:
    // Connects to the compositor WAYLAND_DISPLAY names; fails, saying why, where it lacks a
    // protocol we need.
    static OpenResult Open();
    ~WaylandDesktop() override;

    Capabilities Can() const override;
    // Keys our own events hold; right CTRL held by the user too, where sway tells it.
    bool IsKeyDown(std::uint8_t vk) override;
    // Where the pointer is while TrackPointer's layer follows it; otherwise where our own
    // events last put it: no client can read it on Wayland.
    Point PointerPosition() override;
    void Pause(std::uint32_t ms) override;
    Size ScreenSize() override;
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    Bitmap& out) override;

    // The active window first, then the others, newest first: Wayland tells no stacking order.
    void ForEachWindow(const std::function<bool(WindowHandle)>& visit) override;
    std::string WindowTitle(WindowHandle window) override;
    bool IsWindowMinimised(WindowHandle window) override;
    bool IsWindowVisible(WindowHandle window) override;
    std::optional<Rect> WindowRect(WindowHandle window) override;

    std::optional<std::string> Lost() const override;
    // Under sway: our windows into the scratchpad and back.
    bool HideOwnWindows(bool hide) override;
    // Binds right CTRL in sway while watching.
    void WatchStopKey(bool watching) override;
    // A transparent layer over every output that the pointer's events reach.
    bool TrackPointer(std::string& error) override;
    // Never: no Wayland protocol lets a client watch other clients' input.
    std::unique_ptr<InputWatch> WatchInput(std::string& error) override;

    // Why a copy failed, for the one who asked.
    const std::string& copy_error() const { return copier_.error(); }
    // "wayland (sway)" or "wayland".
    std::string BackendName() const override;

  protected:
    void SendPointerMove(Point to) override;
    void SendButton(Button button, bool down) override;
    void SendKey(std::uint8_t vk, bool down) override;

  private:
    explicit WaylandDesktop(std::unique_ptr<Connection> connection);
    const Toplevel* Find(WindowHandle window) const;
    const std::vector<SwayView>* Views();
    // The virtual devices, made at the first event; nullptr where they cannot be had.
    VirtualInput* Input();

    std::unique_ptr<Connection> connection_;
    ScreenCopier copier_;
    std::unique_ptr<VirtualInput> input_;
    std::unique_ptr<SwayIpc> sway_;
    std::string sway_socket_;
    // Watched for a job's length only: sway keeps the bound key from every other program.
    std::unique_ptr<StopKeyBinding> stop_key_;
    std::optional<std::string> input_error_;
    std::unique_ptr<ScratchpadHider> hider_;
    std::unique_ptr<PointerTracker> tracker_;
    Point pointer_;
    // The views sway listed at the start of an enumeration, answered from until it ends.
    std::optional<std::vector<SwayView>> views_;
    bool enumerating_ = false;
};

}  // namespace platform::wayland
