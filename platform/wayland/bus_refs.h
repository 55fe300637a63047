// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <systemd/sd-bus.h>

#include <utility>

namespace platform::wayland {

// Owners of sd-bus's reference-counted objects: each lets go of its reference when it goes.
struct BusRef {
    sd_bus* bus = nullptr;
    BusRef() = default;
    BusRef(BusRef&& other) noexcept : bus(std::exchange(other.bus, nullptr)) {}
    BusRef& operator=(BusRef&& other) noexcept {
        if (this != &other) {
            Reset();
            bus = std::exchange(other.bus, nullptr);
        }
        return *this;
    }
    ~BusRef() { Reset(); }
    void Reset() { bus = sd_bus_flush_close_unref(bus); }
};
struct MessageRef {
    sd_bus_message* m = nullptr;
    MessageRef() = default;
    MessageRef(const MessageRef&) = delete;
    MessageRef& operator=(const MessageRef&) = delete;
    ~MessageRef() { Reset(); }
    void Reset() { m = sd_bus_message_unref(m); }
};
struct ErrorRef {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ErrorRef() = default;
    ErrorRef(const ErrorRef&) = delete;
    ErrorRef& operator=(const ErrorRef&) = delete;
    ~ErrorRef() { sd_bus_error_free(&e); }
};
struct SlotRef {
    sd_bus_slot* s = nullptr;
    SlotRef() = default;
    SlotRef(const SlotRef&) = delete;
    SlotRef& operator=(const SlotRef&) = delete;
    ~SlotRef() { Reset(); }
    void Reset() { s = sd_bus_slot_unref(s); }
};

}  // namespace platform::wayland
