// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/geometry.h"
#include "platform/input_watch.h"

namespace platform {

using WindowHandle = std::uint64_t;

// What a desktop can tell besides input and the screen copy. A backend that cannot answer one
// of these says so here, so that a command can say what this desktop does not do instead of
// acting on a made-up answer.
struct Capabilities {
    bool window_rects = true;      // WindowRect answers for shown windows
    bool pointer_position = true;  // PointerPosition is where the pointer really is
    bool key_state = true;         // IsKeyDown sees keys the user holds
    // Why no window can be listed at all (GNOME without its Shell extension); empty where
    // they can. The window commands then fail with it, never acting on an empty list.
    std::string no_windows;
};

// Every operating-system service the program uses, in pixels, buttons and virtual-key codes.
// Backends implement the protected Send* primitives; the public input calls also remember
// which keys and buttons our own events left down, so a stopped run can let go of them.
class Desktop {
  public:
    Desktop() = default;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    virtual ~Desktop() = default;

    // Puts the pointer on the screen pixel; the caller keeps it on the screen.
    void MovePointer(Point to);
    void PressButton(Button button, bool down);
    void PressKey(std::uint8_t vk, bool down);

    // Releases, in reverse order of pressing, every key and button still held by our events.
    void ReleaseHeldInput();
    const std::vector<std::uint8_t>& HeldKeys() const { return held_keys_; }
    bool LeftButtonHeld() const { return left_held_; }

    virtual Capabilities Can() const { return {}; }
    // The backend's name, for --version and the messages that depend on it.
    virtual std::string BackendName() const { return "test"; }

    // True while the key (or mouse button: VK_LBUTTON, VK_RBUTTON, VK_MBUTTON) is down at the
    // moment of the call.
    virtual bool IsKeyDown(std::uint8_t vk) = 0;
    // Where the pointer is now, in screen pixels.
    virtual Point PointerPosition() = 0;
    // Blocks the calling thread for ms milliseconds.
    virtual void Pause(std::uint32_t ms) = 0;
    // Size of the primary screen in pixels.
    virtual Size ScreenSize() = 0;
    // Copies width x height pixels whose top-left corner is the screen point (left, top).
    // Pixels outside the screen are black. False when no copy could be made.
    virtual bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height, Bitmap& out) = 0;

    // Top-level windows in Z order, top first; visit returns false to stop early.
    virtual void ForEachWindow(const std::function<bool(WindowHandle)>& visit) = 0;
    // The title as narrow text; empty for a window without one or one that has gone.
    virtual std::string WindowTitle(WindowHandle window) = 0;
    virtual bool IsWindowMinimised(WindowHandle window) = 0;
    // Shown (minimised counts as shown, as on Windows); false for one never shown or gone.
    virtual bool IsWindowVisible(WindowHandle window) = 0;
    // The outer rectangle in screen pixels; nothing when it cannot be read (the window went).
    virtual std::optional<Rect> WindowRect(WindowHandle window) = 0;

    // Takes this process's own windows off the screen (hide) or puts them back as they were,
    // where the desktop does it itself because minimising does nothing there (sway). False
    // where it did not: the caller minimises them through its toolkit instead.
    virtual bool HideOwnWindows(bool /*hide*/) { return false; }
    // Watches the stop key from now until called with false, where watching it changes
    // something outside the program (sway's key bindings); nothing where it can always be read.
    virtual void WatchStopKey(bool /*watching*/) {}
    // The keys that stop a run where right CTRL alone cannot be seen but a chord can be
    // (KWin); empty where right CTRL does it, or nothing does.
    virtual std::string StopChord() { return {}; }
    // Starts following the pointer where the desktop cannot otherwise tell where it is, with a
    // transparent layer over the whole screen that takes the pointer's events, clicks included,
    // until the desktop closes. Can().pointer_position is true from the pointer's first move
    // over it. False, with the reason in error, where it cannot.
    virtual bool TrackPointer(std::string& error) {
        error = "this desktop cannot follow the pointer";
        return false;
    }

    // Starts watching the user's mouse and keyboard, for recording a script. Nothing, with the
    // reason in error, where this desktop does not let a program see other programs' input.
    virtual std::unique_ptr<InputWatch> WatchInput(std::string& error);

    // Why the desktop can no longer be driven (its connection has gone), nothing while it
    // can. From then on every call fails safely: no copy, no windows, keys up, input dropped.
    virtual std::optional<std::string> Lost() const { return std::nullopt; }

  protected:
    virtual void SendPointerMove(Point to) = 0;
    virtual void SendButton(Button button, bool down) = 0;
    virtual void SendKey(std::uint8_t vk, bool down) = 0;

  private:
    std::vector<std::uint8_t> held_keys_;
    bool left_held_ = false;
};

}  // namespace platform
