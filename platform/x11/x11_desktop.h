// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11/display.h"
#include "platform/x11/window_facts.h"

namespace platform::x11 {

class Capturer;
class Keymap;

enum class CaptureMethod {
    kAuto,      // MIT-SHM when the server offers it and can attach our segment, else XGetImage
    kGetImage,  // always plain XGetImage
};

struct Options {
    const char* display_name = nullptr;  // null: $DISPLAY
    CaptureMethod capture = CaptureMethod::kAuto;
};

class X11Desktop;

struct OpenResult {
    std::unique_ptr<X11Desktop> desktop;
    std::string error;  // why there is no desktop
};

// The desktop of an X server: input through XTest, screen copies from the root window,
// top-level windows as the children of the root window.
class X11Desktop final : public Desktop {
  public:
    // Opens the display and checks the extensions we need; never throws.
    static OpenResult Open(const Options& options = {});
    ~X11Desktop() override;

    bool IsKeyDown(std::uint8_t vk) override;
    Point PointerPosition() override;
    // Returns early, within a few tens of milliseconds, once a stop has been requested or the
    // connection has gone.
    void Pause(std::uint32_t ms) override;
    Size ScreenSize() override;
    bool CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                    Bitmap& out) override;

    // Every child of the root window, mapped or not, as EnumWindows lists every top-level
    // window; a handle is that child, the frame when a window manager has reparented. At the
    // first question about a window, the facts of it and every window after it are read in a
    // few round trips and answered from; other questions ask the server then.
    void ForEachWindow(const std::function<bool(WindowHandle)>& visit) override;
    std::string WindowTitle(WindowHandle window) override;
    bool IsWindowMinimised(WindowHandle window) override;
    // Mapped on the screen, or minimised.
    bool IsWindowVisible(WindowHandle window) override;
    std::optional<Rect> WindowRect(WindowHandle window) override;

    // XInput 2 raw events on a connection of their own.
    std::unique_ptr<InputWatch> WatchInput(std::string& error) override;

    // Once the server has gone, every call answers at once as for an empty desktop.
    std::optional<std::string> Lost() const override;

    std::string BackendName() const override { return "x11"; }

    // "MIT-SHM" or "XGetImage".
    const char* capture_method() const;

  protected:
    void SendPointerMove(Point to) override;
    void SendButton(Button button, bool down) override;
    void SendKey(std::uint8_t vk, bool down) override;

  private:
    X11Desktop(DisplayPtr display, std::string name, const WindowAtoms& atoms);
    bool Gone() const {
        return ConnectionLost(display_.get()) ||
               (lookup_ && xcb_connection_has_error(lookup_.get()));
    }
    // Window lookup's connection, made at its first use.
    xcb_connection_t* LookupConnection();
    // What the running enumeration has read of the window; null outside one, or for a window
    // it did not list from the current one on.
    const WindowFacts* Known(Window window);
    WindowFacts FactsOf(Window window);
    // Gives back borrowed key codes whose time has come; called at the start of each call.
    void Tidy();

    DisplayPtr display_;  // first member: closed after everything that uses it
    std::string name_;    // as the connection names its display: ":1"
    Window root_;
    WindowAtoms atoms_;
    std::unique_ptr<Keymap> keymap_;
    std::unique_ptr<Capturer> capturer_;
    Size screen_;  // as last asked; copies inside it need not ask again
    // The key code each virtual key was pressed with, so its release uses the same code.
    std::array<KeyCode, 256> pressed_code_{};
    // During one ForEachWindow: the windows it lists, top first, the one being visited, and
    // once asked, the facts of the windows from there on, and whether they are viewable.
    std::vector<Window> listed_;
    std::size_t visiting_ = 0;
    std::optional<std::unordered_map<Window, WindowFacts>> facts_;
    std::optional<std::unordered_map<Window, std::optional<bool>>> viewable_;
    bool enumerating_ = false;
    Window wm_check_ = 0;  // as the root named it at the last enumeration
    // Window lookup asks through XCB on a connection of its own: XCB sends requests together
    // and awaits their replies together. Sharing Xlib's connection would leave Xlib unable to
    // build a request (it crashes in libX11 1.8) once XCB, holding the socket, has found the
    // server gone.
    struct XcbDisconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    std::unique_ptr<xcb_connection_t, XcbDisconnect> lookup_;
};

}  // namespace platform::x11
