// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/shell_windows.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>

namespace platform::wayland::gnome {
namespace {

constexpr const char* kPath = "/org/ravelkin/Shell";
constexpr const char* kInterface = "org.ravelkin.Shell1";
constexpr const char* kUuid = "ravelkin@ravelkin.org";
// The version of the interface this client speaks.
constexpr std::uint32_t kVersion = 1;
constexpr std::uint64_t kTimeoutUs = 3'000'000;

struct Message {
    sd_bus_message* m = nullptr;
    Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    ~Message() { sd_bus_message_unref(m); }
};
struct Error {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    Error() = default;
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    ~Error() { sd_bus_error_free(&e); }
};

std::string Why(int r, const Error& error) {
    return error.e.message ? error.e.message : std::strerror(-r);
}

// GNOME Shell on Wayland finds an extension installed after login only at the next login;
// until then "gnome-extensions enable" does nothing, and says nothing either.
std::string NotEnabled() {
    return std::string(
               "Ravelkin's GNOME Shell extension is not enabled. Enable it once with "
               "\"gnome-extensions enable ") +
           kUuid + "\"; if \"gnome-extensions info " + kUuid +
           "\" says it does not exist, log out and in again first: GNOME Shell finds a newly "
           "installed extension only at login";
}

// Whether the extension is not there: no one has its name, or, once opened, GNOME Shell's
// connection no longer offers its object, as after the user disabled it.
bool Gone(const Error& error) {
    return sd_bus_error_has_names(&error.e, SD_BUS_ERROR_SERVICE_UNKNOWN,
                                  SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_UNKNOWN_OBJECT,
                                  SD_BUS_ERROR_UNKNOWN_INTERFACE, SD_BUS_ERROR_UNKNOWN_METHOD);
}

// The extension's own words for a refusal or a failure, or that it is gone.
std::string Failure(int r, const Error& error) {
    if (Gone(error)) return NotEnabled();
    if (sd_bus_error_has_name(&error.e, SD_BUS_ERROR_ACCESS_DENIED)) {
        return "Ravelkin's GNOME Shell extension answers only the installed Ravelkin programs: " +
               Why(r, error);
    }
    if (sd_bus_error_has_name(&error.e, "org.ravelkin.Shell1.Error.NoSuchWindow")) {
        return "Ravelkin's GNOME Shell extension: " + Why(r, error);
    }
    return "Ravelkin's GNOME Shell extension did not answer: " + Why(r, error);
}

}  // namespace

struct ShellWindows::Bus {
    sd_bus* bus = nullptr;
    std::string owner;  // GNOME Shell's unique name: the extension's calls and signals
    sd_bus_slot* stop_slot = nullptr;
    bool pressed = false;

    ~Bus() {
        sd_bus_slot_unref(stop_slot);
        sd_bus_flush_close_unref(bus);
    }

    int Call(const char* method, Message& reply, Error& error, const char* types = nullptr,
             std::uint64_t id = 0) {
        Message call;
        int r =
            sd_bus_message_new_method_call(bus, &call.m, owner.c_str(), kPath, kInterface, method);
        if (r >= 0 && types) r = sd_bus_message_append(call.m, types, id);
        if (r < 0) return r;
        return sd_bus_call(bus, call.m, kTimeoutUs, &error.e, &reply.m);
    }

    static int OnStop(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<Bus*>(self)->pressed = true;
        return 0;
    }
};

ShellWindows::ShellWindows(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {}

ShellWindows::~ShellWindows() {
    ReleaseStopChord();
}

std::unique_ptr<ShellWindows> ShellWindows::Open(std::string& error) {
    auto bus = std::make_unique<Bus>();
    int r = sd_bus_open_user(&bus->bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    // The extension lives in GNOME Shell's connection: any program may take our name on the
    // bus, none GNOME Shell's connection.
    {
        Message owner;
        Error failure;
        const char* name = nullptr;
        r = sd_bus_call_method(bus->bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "GetNameOwner", &failure.e, &owner.m, "s",
                               "org.gnome.Shell");
        if (r >= 0) r = sd_bus_message_read(owner.m, "s", &name);
        if (r < 0) {
            error = "GNOME Shell is not on the session bus: " + Why(r, failure);
            return nullptr;
        }
        bus->owner = name;
    }
    Message reply;
    Error failure;
    r = bus->Call("Hello", reply, failure);
    std::uint32_t version = 0;
    if (r >= 0) r = sd_bus_message_read(reply.m, "u", &version);
    if (r < 0) {
        error = Failure(r, failure);
        return nullptr;
    }
    if (version != kVersion) {
        error = "Ravelkin's GNOME Shell extension is version " + std::to_string(version) +
                ", and this Ravelkin needs version " + std::to_string(kVersion) +
                ": log out and in again, so that GNOME Shell loads the installed one";
        return nullptr;
    }
    return std::unique_ptr<ShellWindows>(new ShellWindows(std::move(bus)));
}

bool ShellWindows::List(std::vector<ShellWindow>& out, std::string& error) {
    out.clear();
    Message reply;
    Error failure;
    int r = bus_->Call("ListWindows", reply, failure);
    if (r < 0) {
        error = Failure(r, failure);
        return false;
    }
    r = sd_bus_message_enter_container(reply.m, 'a', "(tsiiiibb)");
    while (r >= 0 && (r = sd_bus_message_enter_container(reply.m, 'r', "tsiiiibb")) > 0) {
        ShellWindow window;
        const char* title = nullptr;
        std::int32_t x = 0, y = 0, width = 0, height = 0;
        int minimised = 0, visible = 0;
        r = sd_bus_message_read(reply.m, "tsiiiibb", &window.id, &title, &x, &y, &width, &height,
                                &minimised, &visible);
        if (r < 0 || (r = sd_bus_message_exit_container(reply.m)) < 0) break;
        const std::int64_t right = std::int64_t{x} + width, bottom = std::int64_t{y} + height;
        if (width < 0 || height < 0 || right > std::numeric_limits<std::int32_t>::max() ||
            bottom > std::numeric_limits<std::int32_t>::max()) {
            r = -EBADMSG;
            break;
        }
        window.title = title;
        window.frame = {x, y, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
        window.minimised = minimised != 0;
        window.visible = visible != 0;
        out.push_back(std::move(window));
    }
    if (r < 0 || sd_bus_message_exit_container(reply.m) < 0) {
        out.clear();
        error = "Ravelkin's GNOME Shell extension sent a window list that could not be read";
        return false;
    }
    return true;
}

bool ShellWindows::Activate(std::uint64_t id, std::string& error) {
    Message reply;
    Error failure;
    const int r = bus_->Call("Activate", reply, failure, "t", id);
    if (r < 0) {
        error = Failure(r, failure);
        return false;
    }
    return true;
}

bool ShellWindows::GrabStopChord(std::string& error) {
    bus_->pressed = false;
    if (!bus_->stop_slot) {
        // Followed before the grab, so that no press after it is missed.
        const int r = sd_bus_match_signal(bus_->bus, &bus_->stop_slot, bus_->owner.c_str(), kPath,
                                          kInterface, "StopPressed", Bus::OnStop, bus_.get());
        if (r < 0) {
            error = std::string("cannot follow the stop chord: ") + std::strerror(-r);
            return false;
        }
    }
    Message reply;
    Error failure;
    const int r = bus_->Call("GrabStopChord", reply, failure);
    if (r < 0) {
        bus_->stop_slot = sd_bus_slot_unref(bus_->stop_slot);
        error = "GNOME Shell did not give Ravelkin the stop chord " + Chord() + ": " +
                (Gone(failure) ? NotEnabled() : Why(r, failure));
        return false;
    }
    return true;
}

void ShellWindows::ReleaseStopChord() {
    if (!bus_->stop_slot) return;
    bus_->stop_slot = sd_bus_slot_unref(bus_->stop_slot);
    // Should the extension be gone, so is its grab.
    Message reply;
    Error failure;
    bus_->Call("ReleaseStopChord", reply, failure);
}

bool ShellWindows::StopPressed() {
    // Everything that has come, without waiting for more.
    while (sd_bus_process(bus_->bus, nullptr) > 0) {
    }
    return bus_->pressed;
}

std::string ShellWindows::Chord() {
    return "Ctrl+Alt+End";
}

}  // namespace platform::wayland::gnome
