// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/wayland/unique_fd.h"

namespace platform::wayland::gnome {

// The monitor the session shares: its PipeWire node and its place in the layout, in pixels.
struct PortalStream {
    std::uint32_t node = 0;
    Point position;
    Size size;
};

// A remote desktop session of GNOME's portal, held in this process (PortalSession) or by the
// session service for all of the user's runs (SessionClient): the monitor's picture stream,
// and input into the desktop.
class RemoteSession {
  public:
    virtual ~RemoteSession() = default;

    virtual const PortalStream& stream() const = 0;
    // A connection to the PipeWire instance that carries the stream; invalid, saying why,
    // where none is given.
    virtual UniqueFd OpenPipeWireRemote(std::string& error) = 0;

    // Input, in order; each returns once taken. False when refused or the session has gone.
    virtual bool MovePointer(double x, double y) = 0;  // in the stream's pixels
    virtual bool Button(std::int32_t evdev_button, bool down) = 0;
    virtual bool Keycode(std::int32_t evdev_code, bool down) = 0;
    virtual bool Keysym(std::uint32_t keysym, bool down) = 0;

    // Why the session cannot be used any more; nothing while it can.
    virtual std::optional<std::string> Lost() = 0;
};

}  // namespace platform::wayland::gnome
