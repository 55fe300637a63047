// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/session_client.h"

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

namespace platform::wayland::gnome {
namespace {

// The user may take a while over GNOME's dialog; the service waits two minutes for them.
constexpr auto kStartTimeout = std::chrono::seconds(150);
constexpr auto kCallTimeout = std::chrono::seconds(10);

std::string Why(int r, const sd_bus_error& error) {
    return error.message ? error.message : std::strerror(-r);
}

}  // namespace

std::unique_ptr<SessionClient> SessionClient::Open(std::string& error, bool& installed) {
    installed = false;
    std::unique_ptr<SessionClient> client(new SessionClient());
    int r = sd_bus_open_user(&client->bus_.bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    MessageRef call, reply;
    ErrorRef call_error;
    r = sd_bus_message_new_method_call(client->bus_.bus, &call.m, kSessionService, kSessionPath,
                                       kSessionInterface, "Start");
    if (r >= 0) {
        r = sd_bus_call(client->bus_.bus, call.m, std::chrono::microseconds(kStartTimeout).count(),
                        &call_error.e, &reply.m);
    }
    if (r < 0) {
        const std::string_view name = call_error.e.name ? call_error.e.name : "";
        installed = name != "org.freedesktop.DBus.Error.ServiceUnknown" &&
                    name != "org.freedesktop.DBus.Error.NameHasNoOwner";
        error = "the Ravelkin session service: " + Why(r, call_error.e);
        return nullptr;
    }
    installed = true;
    PortalStream& s = client->stream_;
    r = sd_bus_message_read(reply.m, "u(ii)(ii)", &s.node, &s.position.x, &s.position.y,
                            &s.size.width, &s.size.height);
    if (r < 0 || s.size.width <= 0 || s.size.height <= 0) {
        error = "the Ravelkin session service gave no monitor";
        return nullptr;
    }
    return client;
}

UniqueFd SessionClient::OpenPipeWireRemote(std::string& error) {
    MessageRef reply;
    ErrorRef call_error;
    int r = sd_bus_call_method(bus_.bus, kSessionService, kSessionPath, kSessionInterface,
                               "OpenPipeWireRemote", &call_error.e, &reply.m, "");
    int fd = -1;
    if (r >= 0) r = sd_bus_message_read(reply.m, "h", &fd);
    if (r < 0) {
        error = "the Ravelkin session service gave no PipeWire connection: " + Why(r, call_error.e);
        return UniqueFd();
    }
    UniqueFd own(fcntl(fd, F_DUPFD_CLOEXEC, 3));
    if (!own) error = std::string("the PipeWire connection: ") + std::strerror(errno);
    return own;
}

bool SessionClient::Input(const char* method, const char* types, std::int32_t code,
                          std::uint32_t down) {
    if (lost_) return false;
    ErrorRef call_error;
    MessageRef call, reply;
    int r = sd_bus_message_new_method_call(bus_.bus, &call.m, kSessionService, kSessionPath,
                                           kSessionInterface, method);
    if (r >= 0) r = sd_bus_message_append(call.m, types, code, down);
    if (r >= 0) {
        r = sd_bus_call(bus_.bus, call.m, std::chrono::microseconds(kCallTimeout).count(),
                        &call_error.e, &reply.m);
    }
    if (r < 0) {
        const std::string_view name = call_error.e.name ? call_error.e.name : "";
        if (name == kSessionClosedError || name == "org.freedesktop.DBus.Error.NoReply" ||
            name == "org.freedesktop.DBus.Error.ServiceUnknown" || r == -ECONNRESET ||
            r == -ENOTCONN) {
            lost_ = "the remote desktop session ended: " + Why(r, call_error.e);
        }
        return false;
    }
    return true;
}

bool SessionClient::MovePointer(double x, double y) {
    if (lost_) return false;
    ErrorRef call_error;
    const int r = sd_bus_call_method(bus_.bus, kSessionService, kSessionPath, kSessionInterface,
                                     "MovePointer", &call_error.e, nullptr, "dd", x, y);
    if (r < 0) {
        const std::string_view name = call_error.e.name ? call_error.e.name : "";
        if (name == kSessionClosedError || r == -ECONNRESET || r == -ENOTCONN) {
            lost_ = "the remote desktop session ended: " + Why(r, call_error.e);
        }
        return false;
    }
    return true;
}

bool SessionClient::Button(std::int32_t evdev_button, bool down) {
    return Input("Button", "iu", evdev_button, down);
}

bool SessionClient::Keycode(std::int32_t evdev_code, bool down) {
    return Input("Keycode", "iu", evdev_code, down);
}

bool SessionClient::Keysym(std::uint32_t keysym, bool down) {
    return Input("Keysym", "iu", static_cast<std::int32_t>(keysym), down);
}

}  // namespace platform::wayland::gnome
