// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/geometry.h"

struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_screencopy_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace platform::wayland {

// One output and where it lies in the layout, in logical pixels (from xdg-output: wlroots
// reports 0,0 in wl_output's own geometry).
struct Output {
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    std::uint32_t global = 0;
    Point position;
    Size size;
    std::int32_t scale = 1;

    Rect Layout() const {
        return {position.x, position.y, position.x + size.width, position.y + size.height};
    }
};

class Connection;

// A window as foreign-toplevel describes it. Listed once the compositor has sent its first
// "done"; dropped when it is closed.
struct Toplevel {
    Connection* owner = nullptr;
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    WindowHandle id = 0;
    std::string title;
    std::string app_id;
    bool minimised = false;
    bool activated = false;
    bool described = false;
    std::uint64_t activated_at = 0;  // when it last became the active window, for the order
};

// The connection to the compositor and the globals the backend uses. Every call is safe
// after the compositor has gone: requests are dropped and Lost() says why.
class Connection {
  public:
    // Connects to the compositor WAYLAND_DISPLAY names and learns its globals, outputs and
    // windows; nullptr with the reason in error when no compositor answers.
    // Another backend's own globals: called for each global this class does not bind, while
    // Open learns them.
    using GlobalHook = std::function<void(wl_registry* registry, std::uint32_t name,
                                          const char* interface, std::uint32_t version)>;

    static std::unique_ptr<Connection> Open(std::string& error, GlobalHook more = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The protocols this backend needs that the compositor does not offer, comma separated;
    // empty when it offers them all.
    std::string MissingProtocols() const;

    // Sends what is queued and waits until the compositor has handled it and everything it
    // sent back has been handled; false once the connection is lost.
    bool Roundtrip();
    // Handles what the compositor has sent without waiting; false once the connection is lost.
    bool DispatchPending();
    // Waits up to timeout_ms for events and handles them; false once the connection is lost.
    bool DispatchFor(int timeout_ms);
    // Handles events for ms milliseconds, or less once a stop is requested or the connection
    // is lost: a compositor that goes ends the wait.
    void Wait(std::uint32_t ms);
    const std::optional<std::string>& Lost() const { return lost_; }

    wl_display* display() const { return display_; }
    // For a backend that binds one of its globals later than Open.
    wl_registry* registry() const { return registry_; }
    wl_shm* shm() const { return shm_; }
    wl_seat* seat() const { return seat_; }
    std::uint32_t seat_capabilities() const { return seat_capabilities_; }
    zwlr_screencopy_manager_v1* screencopy() const { return screencopy_; }
    std::uint32_t screencopy_version() const { return screencopy_version_; }
    zwlr_virtual_pointer_manager_v1* pointer_manager() const { return pointer_manager_; }
    zwp_virtual_keyboard_manager_v1* keyboard_manager() const { return keyboard_manager_; }

    const std::vector<std::unique_ptr<Output>>& outputs() const { return outputs_; }
    // The box around every output: the space the pointer and the screen copy work in.
    Rect LayoutBox() const;
    // The size of that box, with what the compositor has sent about the outputs handled first.
    Size LayoutSize();
    const std::list<Toplevel>& toplevels() const { return toplevels_; }

  private:
    Connection() = default;
    bool Check(int result);
    void DescribeOutput(Output& output);

    static const wl_registry_listener kRegistryListener;
    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void OnGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    friend struct ToplevelEvents;

    GlobalHook more_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seat_capabilities_ = 0;
    zxdg_output_manager_v1* xdg_outputs_ = nullptr;
    zwlr_screencopy_manager_v1* screencopy_ = nullptr;
    std::uint32_t screencopy_version_ = 0;
    zwlr_virtual_pointer_manager_v1* pointer_manager_ = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboard_manager_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevel_manager_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::list<Toplevel> toplevels_;
    WindowHandle next_window_ = 1;
    std::uint64_t activations_ = 0;
    std::optional<std::string> lost_;
};

}  // namespace platform::wayland
