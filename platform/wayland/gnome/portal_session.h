// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "platform/wayland/bus_refs.h"
#include "platform/wayland/gnome/remote_session.h"
#include "platform/wayland/unique_fd.h"

namespace platform::wayland::gnome {

// What the portal offers: 0 for an interface it lacks.
struct PortalVersions {
    std::uint32_t remote_desktop = 0;
    std::uint32_t screen_cast = 0;
};

// Asks the desktop's portal which versions of RemoteDesktop and ScreenCast it offers; false,
// saying why, where no portal answers on the session bus.
bool AskPortalVersions(PortalVersions& versions, std::string& error);

// One RemoteDesktop session of xdg-desktop-portal with a ScreenCast of one monitor on it: the
// keyboard and pointer of the desktop, and the monitor's picture over PipeWire. Opening it asks
// the user once through the portal's dialog, unless a restore token from an earlier session
// answers for them (RemoteDesktop version 2 and later). Closed when it goes.
class PortalSession final : public RemoteSession {
  public:
    struct Options {
        std::string restore_token;  // from an earlier session; empty for none
        // How long the user may take to answer the dialog.
        std::chrono::seconds consent_timeout{120};
    };
    // Null, saying why, where the portal refuses, the user declines or does not answer.
    static std::unique_ptr<PortalSession> Open(const Options& options, std::string& error);
    ~PortalSession() override;
    PortalSession(const PortalSession&) = delete;
    PortalSession& operator=(const PortalSession&) = delete;

    const PortalStream& stream() const override { return stream_; }
    const PortalVersions& versions() const { return versions_; }
    // The token a later session may be restored with; empty where the portal gave none.
    const std::string& restore_token() const { return restore_token_; }

    // A connection to the PipeWire instance that carries the stream; invalid, saying why,
    // where the portal gives none.
    UniqueFd OpenPipeWireRemote(std::string& error) override;

    // Input, in order; each returns once the portal has taken it. False once the session has
    // closed or the portal refuses (see Lost).
    bool MovePointer(double x, double y) override;
    bool Button(std::int32_t evdev_button, bool down) override;
    bool Keycode(std::int32_t evdev_code, bool down) override;
    bool Keysym(std::uint32_t keysym, bool down) override;

    // Why the last input was refused.
    const std::string& input_error() const { return input_error_; }
    // Why the session cannot be used any more; nothing while it can.
    std::optional<std::string> Lost() override;

  private:
    PortalSession() = default;
    // Calls a Notify method of RemoteDesktop with the session, empty options and the rest.
    bool Notify(const char* method, const std::function<int(sd_bus_message*)>& append);

    BusRef bus_;
    SlotRef closed_slot_;
    std::string handle_;
    PortalStream stream_;
    PortalVersions versions_;
    std::string restore_token_;
    std::optional<std::string> lost_;
    std::string input_error_;
};

}  // namespace platform::wayland::gnome
