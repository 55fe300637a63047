// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/connection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/stop_request.h"
#include "protocol/virtual-keyboard-unstable-v1-client.h"
#include "protocol/wlr-foreign-toplevel-management-unstable-v1-client.h"
#include "protocol/wlr-screencopy-unstable-v1-client.h"
#include "protocol/wlr-virtual-pointer-unstable-v1-client.h"
#include "protocol/xdg-output-unstable-v1-client.h"

namespace platform::wayland {
namespace {

template <class T>
T* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void OnSeatCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    *static_cast<std::uint32_t*>(data) = capabilities;
}
void OnSeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {OnSeatCapabilities, OnSeatName};

// wl_output tells only the scale here: where each output lies comes from xdg-output (wlroots
// reports 0,0 in wl_output's geometry).
void OnGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                std::int32_t, const char*, const char*, std::int32_t) {}
void OnMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void OnOutputDone(void*, wl_output*) {}
void OnScale(void* data, wl_output*, std::int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(1, factor);
}
void OnOutputText(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {OnGeometry, OnMode,       OnOutputDone,
                                            OnScale,    OnOutputText, OnOutputText};

void OnLogicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
    static_cast<Output*>(data)->position = {x, y};
}
void OnLogicalSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
    static_cast<Output*>(data)->size = {width, height};
}
void OnXdgDone(void*, zxdg_output_v1*) {}
void OnXdgText(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kXdgOutputListener = {OnLogicalPosition, OnLogicalSize, OnXdgDone,
                                                    OnXdgText, OnXdgText};

}  // namespace

// The windows: foreign-toplevel sends each description in parts, then "done".
struct ToplevelEvents {
    static Toplevel& Of(void* data) { return *static_cast<Toplevel*>(data); }
    static void Title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
        Of(data).title = title ? title : "";
    }
    static void AppId(void* data, zwlr_foreign_toplevel_handle_v1*, const char* app_id) {
        Of(data).app_id = app_id ? app_id : "";
    }
    static void OnOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void State(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
        Toplevel& toplevel = Of(data);
        const bool was_active = toplevel.activated;
        toplevel.minimised = false;
        toplevel.activated = false;
        const auto* state = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED) {
                toplevel.minimised = true;
            }
            if (state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) {
                toplevel.activated = true;
            }
        }
        if (toplevel.activated && !was_active) {
            toplevel.activated_at = ++toplevel.owner->activations_;
        }
    }
    static void Done(void* data, zwlr_foreign_toplevel_handle_v1*) { Of(data).described = true; }
    static void Closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        Connection* owner = Of(data).owner;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        owner->toplevels_.remove_if([&](const Toplevel& t) { return t.handle == handle; });
    }
    static void Parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static void New(void* data, zwlr_foreign_toplevel_manager_v1*,
                    zwlr_foreign_toplevel_handle_v1* handle) {
        static const zwlr_foreign_toplevel_handle_v1_listener kListener = {
            Title, AppId, OnOutput, OnOutput, State, Done, Closed, Parent};
        auto* owner = static_cast<Connection*>(data);
        Toplevel& toplevel = owner->toplevels_.emplace_back();
        toplevel.owner = owner;
        toplevel.handle = handle;
        toplevel.id = owner->next_window_++;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kListener, &toplevel);
    }
    static void Finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        auto* owner = static_cast<Connection*>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        owner->toplevel_manager_ = nullptr;
    }
};

// libwayland writes its complaints to standard error; we keep the last one for our message.
static thread_local std::string g_last_complaint;
static void KeepComplaint(const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    g_last_complaint = text;
    while (!g_last_complaint.empty() && g_last_complaint.back() == '\n') {
        g_last_complaint.pop_back();
    }
}

const wl_registry_listener Connection::kRegistryListener = {Connection::OnGlobal,
                                                            Connection::OnGlobalRemove};

std::unique_ptr<Connection> Connection::Open(std::string& error, GlobalHook more) {
    std::unique_ptr<Connection> c(new Connection());
    c->more_ = std::move(more);
    wl_log_set_handler_client(KeepComplaint);
    g_last_complaint.clear();
    c->display_ = wl_display_connect(nullptr);
    if (!c->display_) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        error = std::string("cannot connect to the Wayland compositor '") +
                (name ? name : "wayland-0") +
                "': " + (g_last_complaint.empty() ? std::strerror(errno) : g_last_complaint);
        return nullptr;
    }
    c->registry_ = wl_display_get_registry(c->display_);
    wl_registry_add_listener(c->registry_, &kRegistryListener, c.get());
    // The globals, then what the bound ones say of themselves (outputs, seat, windows).
    if (!c->Roundtrip() || !c->Roundtrip()) {
        error = "the Wayland compositor closed the connection: " + *c->lost_;
        return nullptr;
    }
    return c;
}

Connection::~Connection() {
    if (!display_) return;
    for (Toplevel& t : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(t.handle);
    if (toplevel_manager_) zwlr_foreign_toplevel_manager_v1_destroy(toplevel_manager_);
    for (auto& output : outputs_) {
        if (output->xdg) zxdg_output_v1_destroy(output->xdg);
        wl_output_destroy(output->output);
    }
    if (keyboard_manager_) zwp_virtual_keyboard_manager_v1_destroy(keyboard_manager_);
    if (pointer_manager_) zwlr_virtual_pointer_manager_v1_destroy(pointer_manager_);
    if (screencopy_) zwlr_screencopy_manager_v1_destroy(screencopy_);
    if (xdg_outputs_) zxdg_output_manager_v1_destroy(xdg_outputs_);
    if (seat_) wl_seat_destroy(seat_);
    if (shm_) wl_shm_destroy(shm_);
    if (registry_) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void Connection::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                          const char* interface, std::uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    const std::string_view is(interface);
    if (is == wl_shm_interface.name && !c->shm_) {
        c->shm_ = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is == wl_seat_interface.name && !c->seat_) {
        c->seat_ = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 2);
        wl_seat_add_listener(c->seat_, &kSeatListener, &c->seat_capabilities_);
    } else if (is == wl_output_interface.name) {
        auto output = std::make_unique<Output>();
        output->global = name;
        output->output = Bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(output->output, &kOutputListener, output.get());
        c->outputs_.push_back(std::move(output));
        c->DescribeOutput(*c->outputs_.back());
    } else if (is == zxdg_output_manager_v1_interface.name && !c->xdg_outputs_) {
        c->xdg_outputs_ = Bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2);
        for (auto& output : c->outputs_) c->DescribeOutput(*output);
    } else if (is == zwlr_screencopy_manager_v1_interface.name && !c->screencopy_) {
        c->screencopy_version_ = std::min<std::uint32_t>(version, 3);
        c->screencopy_ = Bind<zwlr_screencopy_manager_v1>(
            registry, name, &zwlr_screencopy_manager_v1_interface, version, 3);
    } else if (is == zwlr_virtual_pointer_manager_v1_interface.name && !c->pointer_manager_) {
        c->pointer_manager_ = Bind<zwlr_virtual_pointer_manager_v1>(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, version, 1);
    } else if (is == zwp_virtual_keyboard_manager_v1_interface.name && !c->keyboard_manager_) {
        c->keyboard_manager_ = Bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    } else if (is == zwlr_foreign_toplevel_manager_v1_interface.name && !c->toplevel_manager_) {
        static const zwlr_foreign_toplevel_manager_v1_listener kListener = {
            ToplevelEvents::New, ToplevelEvents::Finished};
        c->toplevel_manager_ = Bind<zwlr_foreign_toplevel_manager_v1>(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, version, 3);
        zwlr_foreign_toplevel_manager_v1_add_listener(c->toplevel_manager_, &kListener, c);
    } else if (c->more_) {
        c->more_(registry, name, interface, version);
    }
}

void Connection::OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* c = static_cast<Connection*>(data);
    std::erase_if(c->outputs_, [&](const std::unique_ptr<Output>& output) {
        if (output->global != name) return false;
        if (output->xdg) zxdg_output_v1_destroy(output->xdg);
        wl_output_destroy(output->output);
        return true;
    });
}

void Connection::DescribeOutput(Output& output) {
    if (!xdg_outputs_ || output.xdg) return;
    output.xdg = zxdg_output_manager_v1_get_xdg_output(xdg_outputs_, output.output);
    zxdg_output_v1_add_listener(output.xdg, &kXdgOutputListener, &output);
}

std::string Connection::MissingProtocols() const {
    std::string missing;
    const auto need = [&](bool have, const char* name) {
        if (have) return;
        if (!missing.empty()) missing += ", ";
        missing += name;
    };
    need(shm_, "wl_shm");
    need(seat_, "wl_seat");
    need(xdg_outputs_, "zxdg_output_manager_v1");
    need(screencopy_, "zwlr_screencopy_manager_v1");
    need(pointer_manager_, "zwlr_virtual_pointer_manager_v1");
    need(keyboard_manager_, "zwp_virtual_keyboard_manager_v1");
    need(toplevel_manager_, "zwlr_foreign_toplevel_manager_v1");
    return missing;
}

bool Connection::Check(int result) {
    if (lost_) return false;
    if (result >= 0) return true;
    const int code = wl_display_get_error(display_);
    lost_ =
        std::string("the Wayland compositor has gone (") + std::strerror(code ? code : EPIPE) + ")";
    return false;
}

bool Connection::Roundtrip() {
    return !lost_ && Check(wl_display_roundtrip(display_));
}

bool Connection::DispatchPending() {
    return DispatchFor(0);
}

bool Connection::DispatchFor(int timeout_ms) {
    if (lost_) return false;
    // Reads only what has arrived: a compositor that sends nothing must not hold us.
    while (wl_display_prepare_read(display_) != 0) {
        if (!Check(wl_display_dispatch_pending(display_))) return false;
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display_);
        return Check(-1);
    }
    pollfd fd = {wl_display_get_fd(display_), POLLIN, 0};
    const int ready = poll(&fd, 1, timeout_ms);
    if (ready > 0) {
        if (!Check(wl_display_read_events(display_))) return false;
    } else {
        wl_display_cancel_read(display_);
    }
    return Check(wl_display_dispatch_pending(display_));
}

void Connection::Wait(std::uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!stop_request::IsRaised()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return;
        if (!DispatchFor(static_cast<int>(std::min<std::int64_t>(left.count(), 20)))) return;
    }
}

Size Connection::LayoutSize() {
    DispatchPending();
    const Rect box = LayoutBox();
    return {box.right - box.left, box.bottom - box.top};
}

Rect Connection::LayoutBox() const {
    Rect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const auto& output : outputs_) {
        const Rect r = output->Layout();
        if (r.right <= r.left || r.bottom <= r.top) continue;
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    if (box.right <= box.left) return {};
    return box;
}

}  // namespace platform::wayland
