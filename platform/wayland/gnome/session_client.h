// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/wayland/bus_refs.h"
#include "platform/wayland/gnome/remote_session.h"

namespace platform::wayland::gnome {

// The session service on the session bus: ravelkin-gnome-session, started by the bus when
// first asked, holds one portal session for all of the user's runs, so that the user answers
// GNOME's dialog once for a loop of runs, not on each.
inline constexpr char kSessionService[] = "net.ravelkin.GnomeSession";
inline constexpr char kSessionPath[] = "/net/ravelkin/GnomeSession";
inline constexpr char kSessionInterface[] = "net.ravelkin.GnomeSession1";
// The service's answer when its portal session has ended.
inline constexpr char kSessionClosedError[] = "net.ravelkin.GnomeSession1.Error.Closed";

// The runner's side of the session service.
class SessionClient final : public RemoteSession {
  public:
    // Asks the service for the session, which it opens (asking the user) where it holds none.
    // Null, saying why; installed tells whether the bus knows the service at all.
    static std::unique_ptr<SessionClient> Open(std::string& error, bool& installed);

    const PortalStream& stream() const override { return stream_; }
    UniqueFd OpenPipeWireRemote(std::string& error) override;
    bool MovePointer(double x, double y) override;
    bool Button(std::int32_t evdev_button, bool down) override;
    bool Keycode(std::int32_t evdev_code, bool down) override;
    bool Keysym(std::uint32_t keysym, bool down) override;
    std::optional<std::string> Lost() override { return lost_; }

  private:
    SessionClient() = default;
    bool Input(const char* method, const char* types, std::int32_t code, std::uint32_t down);

    BusRef bus_;
    PortalStream stream_;
    std::optional<std::string> lost_;
};

}  // namespace platform::wayland::gnome
