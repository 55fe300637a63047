// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-gnome-session: the user's one remote desktop session of GNOME's portal, held for
// all of Ravelkin's runs, so that GNOME's dialog is answered once and not on every run. The
// session bus starts it when a run first asks (net.ravelkin.GnomeSession); it opens the
// portal session then, and again after the user or GNOME ended it, and exits when the bus
// goes or after ten minutes without a call. Where the portal keeps the user's answer
// (RemoteDesktop version 2), its restore token is kept for the next session.
#include <systemd/sd-bus.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/wayland/bus_refs.h"
#include "platform/wayland/gnome/portal_session.h"
#include "platform/wayland/gnome/restore_token.h"
#include "platform/wayland/gnome/session_client.h"

namespace {

using namespace platform::wayland::gnome;
using platform::wayland::BusRef;
using platform::wayland::SlotRef;
using Clock = std::chrono::steady_clock;

constexpr auto kIdle = std::chrono::minutes(10);

struct Service {
    std::unique_ptr<PortalSession> session;
    Clock::time_point last_call = Clock::now();

    // The session, opened where there is none or the last one ended; null, saying why.
    PortalSession* Session(std::string& error) {
        if (session && session->Lost()) session.reset();
        if (session) return session.get();
        PortalVersions versions;
        if (!AskPortalVersions(versions, error)) return nullptr;
        PortalSession::Options options;
        const std::string token_path = RestoreTokenPath();
        if (versions.remote_desktop >= 2) options.restore_token = ReadRestoreToken(token_path);
        session = PortalSession::Open(options, error);
        if (session && versions.remote_desktop >= 2) {
            WriteRestoreToken(token_path, session->restore_token());
        }
        return session.get();
    }
};

Service* Of(void* self) {
    auto* service = static_cast<Service*>(self);
    service->last_call = Clock::now();
    return service;
}

int Refuse(sd_bus_error* error, const std::string& why) {
    return sd_bus_error_set(error, kSessionClosedError, why.c_str());
}

int OnStart(sd_bus_message* m, void* self, sd_bus_error* error) {
    std::string why;
    PortalSession* session = Of(self)->Session(why);
    if (!session)
        return sd_bus_error_set(error, "net.ravelkin.GnomeSession1.Error.Refused",
                                ("GNOME's remote desktop portal: " + why).c_str());
    const PortalStream& s = session->stream();
    return sd_bus_reply_method_return(m, "u(ii)(ii)", s.node, s.position.x, s.position.y,
                                      s.size.width, s.size.height);
}

// The session a call acts on: the one open, unless it has ended.
PortalSession* Current(void* self, sd_bus_error* error) {
    Service* service = Of(self);
    if (!service->session) {
        Refuse(error, "no remote desktop session is open");
        return nullptr;
    }
    if (const auto lost = service->session->Lost()) {
        Refuse(error, *lost);
        service->session.reset();
        return nullptr;
    }
    return service->session.get();
}

int OnOpenPipeWireRemote(sd_bus_message* m, void* self, sd_bus_error* error) {
    PortalSession* session = Current(self, error);
    if (!session) return -EIO;
    std::string why;
    platform::wayland::UniqueFd fd = session->OpenPipeWireRemote(why);
    if (!fd)
        return sd_bus_error_set(error, "net.ravelkin.GnomeSession1.Error.Refused", why.c_str());
    return sd_bus_reply_method_return(m, "h", fd.get());
}

int Answer(sd_bus_message* m, PortalSession* session, bool taken, sd_bus_error* error) {
    if (!taken) {
        return sd_bus_error_set(error, "net.ravelkin.GnomeSession1.Error.Refused",
                                session->input_error().c_str());
    }
    return sd_bus_reply_method_return(m, "");
}

int OnMovePointer(sd_bus_message* m, void* self, sd_bus_error* error) {
    double x = 0, y = 0;
    int r = sd_bus_message_read(m, "dd", &x, &y);
    if (r < 0) return r;
    PortalSession* session = Current(self, error);
    return session ? Answer(m, session, session->MovePointer(x, y), error) : -EIO;
}

// Button, Keycode and Keysym: a code and whether it goes down.
template <bool (PortalSession::*kSend)(std::int32_t, bool)>
int OnCode(sd_bus_message* m, void* self, sd_bus_error* error) {
    std::int32_t code = 0;
    std::uint32_t down = 0;
    int r = sd_bus_message_read(m, "iu", &code, &down);
    if (r < 0) return r;
    PortalSession* session = Current(self, error);
    return session ? Answer(m, session, (session->*kSend)(code, down != 0), error) : -EIO;
}

bool SendKeysym(PortalSession& session, std::int32_t keysym, bool down) {
    return session.Keysym(static_cast<std::uint32_t>(keysym), down);
}
int OnKeysym(sd_bus_message* m, void* self, sd_bus_error* error) {
    std::int32_t keysym = 0;
    std::uint32_t down = 0;
    int r = sd_bus_message_read(m, "iu", &keysym, &down);
    if (r < 0) return r;
    PortalSession* session = Current(self, error);
    return session ? Answer(m, session, SendKeysym(*session, keysym, down != 0), error) : -EIO;
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Start", "", "u(ii)(ii)", OnStart, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenPipeWireRemote", "", "h", OnOpenPipeWireRemote, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("MovePointer", "dd", "", OnMovePointer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Button", "iu", "", OnCode<&PortalSession::Button>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Keycode", "iu", "", OnCode<&PortalSession::Keycode>, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Keysym", "iu", "", OnKeysym, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

int main() {
    Service service;
    BusRef bus;
    SlotRef object;
    int r = sd_bus_open_user(&bus.bus);
    if (r >= 0) {
        r = sd_bus_add_object_vtable(bus.bus, &object.s, kSessionPath, kSessionInterface, kVtable,
                                     &service);
    }
    if (r >= 0) r = sd_bus_request_name(bus.bus, kSessionService, 0);
    if (r < 0) {
        std::fprintf(stderr, "ravelkin-gnome-session: %s\n", std::strerror(-r));
        return 1;
    }
    for (;;) {
        r = sd_bus_process(bus.bus, nullptr);
        if (r < 0) break;  // the bus has gone
        if (r > 0) continue;
        const auto idle = Clock::now() - service.last_call;
        if (idle >= kIdle) break;
        r = sd_bus_wait(
            bus.bus, std::chrono::duration_cast<std::chrono::microseconds>(kIdle - idle).count());
        if (r < 0 && r != -EINTR) break;
    }
    return 0;
}
