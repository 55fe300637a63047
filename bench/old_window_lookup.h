// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window lookup as the X11 backend did it before its requests were pipelined, kept for
// window_lookup_bench to measure against: one request and one round trip at a time, the client
// searched breadth first through every window down to three levels below the frame.
#include <X11/Xlib.h>

#include <optional>
#include <string_view>
#include <unordered_map>

#include "platform/desktop.h"
#include "platform/x11/display.h"

namespace bench {

// The window calls only; input and screen calls do nothing.
class OldWindowLookup final : public platform::Desktop {
  public:
    // On $DISPLAY; check ok().
    OldWindowLookup();
    bool ok() const { return display_ != nullptr; }

    void ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) override;
    std::string WindowTitle(platform::WindowHandle window) override;
    bool IsWindowMinimised(platform::WindowHandle window) override;
    bool IsWindowVisible(platform::WindowHandle window) override;
    std::optional<platform::Rect> WindowRect(platform::WindowHandle window) override;

    bool IsKeyDown(std::uint8_t) override { return false; }
    platform::Point PointerPosition() override { return {}; }
    void Pause(std::uint32_t) override {}
    platform::Size ScreenSize() override { return {}; }
    bool CopyScreen(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    platform::Bitmap&) override {
        return false;
    }

  protected:
    void SendPointerMove(platform::Point) override {}
    void SendButton(platform::Button, bool) override {}
    void SendKey(std::uint8_t, bool) override {}

  private:
    Window ClientOf(Window frame);

    platform::x11::DisplayPtr display_;
    Window root_ = 0;
    Atom wm_state_ = 0;
    Atom net_wm_name_ = 0;
    Atom utf8_string_ = 0;
    Atom net_wm_state_ = 0;
    Atom net_wm_state_hidden_ = 0;
    std::unordered_map<Window, Window> clients_;
    bool enumerating_ = false;
};

// The lookup by title as it was: the titles during the enumeration, then the state and the
// rectangle of the last window whose title holds the text. The window, when its rectangle could
// be read.
std::optional<platform::WindowHandle> OldFindWindowByTitle(platform::Desktop& desktop,
                                                           std::string_view text);

}  // namespace bench
