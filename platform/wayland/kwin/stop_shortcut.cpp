// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/kwin/stop_shortcut.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstring>
#include <string_view>

namespace platform::wayland::kwin {
namespace {

constexpr const char* kService = "org.kde.kglobalaccel";
constexpr const char* kComponentInterface = "org.kde.kglobalaccel.Component";
constexpr const char* kComponent = "ravelkin";
constexpr const char* kAction = "stop";
// Qt's codes, which KGlobalAccel takes: Ctrl, Alt and the End key.
constexpr std::int32_t kChord = 0x04000000 | 0x08000000 | 0x01000011;
// Set it now, and take our chord over one remembered from an earlier session.
constexpr std::uint32_t kSetPresentNoAutoloading = 2 | 4;
constexpr std::uint64_t kTimeoutUs = 3'000'000;

struct Message {
    sd_bus_message* m = nullptr;
    ~Message() { sd_bus_message_unref(m); }
};
struct Error {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&e); }
};

// A call on KGlobalAccel's main object with the action's four names first, then the rest.
int CallWithAction(sd_bus* bus, const char* method, Message& reply, Error& error,
                   const char* more_types = nullptr, std::int32_t key = 0,
                   std::uint32_t flags = 0) {
    Message call;
    int r = sd_bus_message_new_method_call(bus, &call.m, kService, "/kglobalaccel",
                                           "org.kde.KGlobalAccel", method);
    if (r >= 0)
        r = sd_bus_message_append(call.m, "as", 4, kComponent, kAction, "Ravelkin", "Stop the run");
    if (r >= 0 && more_types) r = sd_bus_message_append(call.m, more_types, 1, key, flags);
    if (r < 0) return r;
    return sd_bus_call(bus, call.m, kTimeoutUs, &error.e, &reply.m);
}

std::string Why(int r, const Error& error) {
    return error.e.message ? error.e.message : std::strerror(-r);
}

}  // namespace

// KGlobalAccel's word that a shortcut of ours went down or up.
struct ShortcutSignals {
    static int On(sd_bus_message* message, void* self, sd_bus_error*);
};

std::unique_ptr<StopShortcut> StopShortcut::Register(std::string& error) {
    sd_bus* bus = nullptr;
    int r = sd_bus_open_user(&bus);
    if (r < 0) {
        error = std::string("cannot connect to the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    std::unique_ptr<StopShortcut> shortcut(new StopShortcut(bus));
    {
        Message reply;
        Error failure;
        r = CallWithAction(bus, "doRegister", reply, failure);
        if (r < 0) {
            error = "KGlobalAccel did not take the stop shortcut: " + Why(r, failure);
            return nullptr;
        }
    }
    Message reply;
    Error failure;
    r = CallWithAction(bus, "setShortcut", reply, failure, "aiu", kChord, kSetPresentNoAutoloading);
    // The keys it gave the action: none where another shortcut has the chord.
    const void* keys = nullptr;
    std::size_t size = 0;
    if (r >= 0) r = sd_bus_message_read_array(reply.m, 'i', &keys, &size);
    if (r < 0) {
        error = "KGlobalAccel did not take the stop shortcut: " + Why(r, failure);
        return nullptr;
    }
    std::int32_t first = 0;
    if (size >= sizeof first) std::memcpy(&first, keys, sizeof first);
    if (first != kChord) {
        error = std::string(kStopChordName) + " is another program's shortcut";
        return nullptr;
    }
    shortcut->claimed_ = true;
    const std::string path = std::string("/component/") + kComponent;
    r = sd_bus_match_signal(bus, &shortcut->pressed_slot_, kService, path.c_str(),
                            kComponentInterface, "globalShortcutPressed", ShortcutSignals::On,
                            shortcut.get());
    if (r >= 0) {
        r = sd_bus_match_signal(bus, &shortcut->released_slot_, kService, path.c_str(),
                                kComponentInterface, "globalShortcutReleased", ShortcutSignals::On,
                                shortcut.get());
    }
    if (r < 0) {
        error = std::string("cannot follow the stop shortcut: ") + std::strerror(-r);
        return nullptr;
    }
    return shortcut;
}

StopShortcut::~StopShortcut() {
    sd_bus_slot_unref(pressed_slot_);
    sd_bus_slot_unref(released_slot_);
    // The chord goes back to other programs; the registration stays for the next run.
    if (claimed_) {
        Message reply;
        Error failure;
        CallWithAction(bus_, "setInactive", reply, failure);
    }
    sd_bus_flush_close_unref(bus_);
}

int ShortcutSignals::On(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* component = nullptr;
    const char* action = nullptr;
    std::int64_t when = 0;
    if (sd_bus_message_read(message, "ssx", &component, &action, &when) < 0 ||
        std::string_view(action ? action : "") != kAction) {
        return 0;
    }
    auto* shortcut = static_cast<StopShortcut*>(self);
    const bool pressed =
        std::string_view(sd_bus_message_get_member(message)) == "globalShortcutPressed";
    shortcut->held_ = pressed;
    shortcut->unseen_ = shortcut->unseen_ || pressed;
    return 0;
}

bool StopShortcut::Pressed() {
    // Everything that has come, without waiting for more.
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    const bool pressed = held_ || unseen_;
    unseen_ = false;
    return pressed;
}

}  // namespace platform::wayland::kwin
