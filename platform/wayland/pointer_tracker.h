// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/wayland/connection.h"

struct wl_compositor;
struct wl_pointer;
struct wl_surface;
struct zwlr_layer_shell_v1;

namespace platform::wayland {

// Knows where the pointer is although no Wayland client may ask: a fully transparent layer
// over each output (wlr-layer-shell, overlay layer, no keyboard) receives the pointer's motion.
// While it lives it also takes the clicks, which reach no window.
class PointerTracker {
  public:
    // Puts the layers up on every output the connection knows; nullptr with the reason in
    // error when the compositor cannot show them.
    static std::unique_ptr<PointerTracker> Start(Connection& connection, std::string& error);
    ~PointerTracker();
    PointerTracker(const PointerTracker&) = delete;
    PointerTracker& operator=(const PointerTracker&) = delete;

    // The pointer in layout pixels, as of the events handled so far; nothing before it has
    // entered one of the layers.
    std::optional<Point> Position() const { return position_; }

    struct Layer;

  private:
    explicit PointerTracker(Connection& connection);
    friend struct TrackerEvents;

    Connection& connection_;
    wl_compositor* compositor_ = nullptr;
    zwlr_layer_shell_v1* shell_ = nullptr;
    std::uint32_t shell_version_ = 0;
    wl_pointer* pointer_ = nullptr;
    std::vector<std::unique_ptr<Layer>> layers_;
    const Layer* over_ = nullptr;
    std::optional<Point> position_;
};

}  // namespace platform::wayland
