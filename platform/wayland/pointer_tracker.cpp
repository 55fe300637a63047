// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/pointer_tracker.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/wayland/unique_fd.h"
// The protocol names an argument "namespace": renamed for its header alone, whose own includes
// are in already and so are not read again under the rename.
#include <stddef.h>
#include <stdint.h>
#include <wayland-client.h>
#define namespace scope
#include "protocol/wlr-layer-shell-unstable-v1-client.h"
#undef namespace

namespace platform::wayland {

struct PointerTracker::Layer {
    PointerTracker* owner = nullptr;
    Point origin;  // its output's corner in the layout
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    wl_buffer* buffer = nullptr;
    bool configured = false;
    bool closed = false;

    ~Layer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (layer) zwlr_layer_surface_v1_destroy(layer);
        if (surface) wl_surface_destroy(surface);
    }
};

namespace {

// A fully transparent buffer of the layer's size: memory of zeroes is transparent ARGB.
wl_buffer* TransparentBuffer(wl_shm* shm, std::uint32_t width, std::uint32_t height) {
    const std::uint64_t stride = std::uint64_t{width} * 4, size = stride * height;
    if (width == 0 || height == 0 || size > (std::uint64_t{1} << 30)) return nullptr;
    UniqueFd fd(memfd_create("ravelkin-pointer-layer", MFD_CLOEXEC));
    if (!fd || ftruncate(fd.get(), static_cast<off_t>(size)) != 0) return nullptr;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd.get(), static_cast<std::int32_t>(size));
    wl_buffer* buffer = wl_shm_pool_create_buffer(
        pool, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
        static_cast<std::int32_t>(stride), WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    return buffer;
}

}  // namespace

struct TrackerEvents {
    using Layer = PointerTracker::Layer;

    static void Configure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial,
                          std::uint32_t width, std::uint32_t height) {
        auto* l = static_cast<Layer*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        if (!l->buffer) {
            l->buffer = TransparentBuffer(l->owner->connection_.shm(), width, height);
            if (!l->buffer) return;
            wl_surface_attach(l->surface, l->buffer, 0, 0);
            wl_surface_damage(l->surface, 0, 0, static_cast<std::int32_t>(width),
                              static_cast<std::int32_t>(height));
        }
        wl_surface_commit(l->surface);
        l->configured = true;
    }
    static void Closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<Layer*>(data)->closed = true;
    }

    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* t = static_cast<PointerTracker*>(data);
        const std::string_view is(interface);
        if (is == wl_compositor_interface.name && !t->compositor_) {
            t->compositor_ = static_cast<wl_compositor*>(
                wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, 4u)));
        } else if (is == zwlr_layer_shell_v1_interface.name && !t->shell_) {
            t->shell_version_ = std::min(version, 3u);
            t->shell_ = static_cast<zwlr_layer_shell_v1*>(wl_registry_bind(
                registry, name, &zwlr_layer_shell_v1_interface, t->shell_version_));
        }
    }
    static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

    // Surface-local points of a layer are logical pixels from its output's corner.
    static void Place(PointerTracker& t, wl_fixed_t x, wl_fixed_t y) {
        if (!t.over_ || t.over_->closed) return;
        const Point origin = t.over_->origin;
        t.position_ =
            Point{origin.x + static_cast<std::int32_t>(std::floor(wl_fixed_to_double(x))),
                  origin.y + static_cast<std::int32_t>(std::floor(wl_fixed_to_double(y)))};
    }
    static void Enter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
                      wl_fixed_t y) {
        auto* t = static_cast<PointerTracker*>(data);
        t->over_ = nullptr;
        for (const auto& layer : t->layers_) {
            if (layer->surface == surface) t->over_ = layer.get();
        }
        Place(*t, x, y);
    }
    static void Leave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        static_cast<PointerTracker*>(data)->over_ = nullptr;
    }
    static void Motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        Place(*static_cast<PointerTracker*>(data), x, y);
    }
    static void Button(void*, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t) {}
    static void Axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
};

PointerTracker::PointerTracker(Connection& connection) : connection_(connection) {}

std::unique_ptr<PointerTracker> PointerTracker::Start(Connection& connection, std::string& error) {
    std::unique_ptr<PointerTracker> t(new PointerTracker(connection));
    static const wl_registry_listener kRegistry = {TrackerEvents::Global,
                                                   TrackerEvents::GlobalRemove};
    wl_registry* registry = wl_display_get_registry(connection.display());
    wl_registry_add_listener(registry, &kRegistry, t.get());
    const bool answered = connection.Roundtrip();
    wl_registry_destroy(registry);
    if (!answered) {
        error = *connection.Lost();
        return nullptr;
    }
    if (!t->compositor_ || !t->shell_) {
        error = "the Wayland compositor does not offer zwlr_layer_shell_v1";
        return nullptr;
    }
    // A seat gains its pointer when the first pointing device comes, ours included.
    if (!(connection.seat_capabilities() & WL_SEAT_CAPABILITY_POINTER) && !connection.Roundtrip()) {
        error = *connection.Lost();
        return nullptr;
    }
    if (!(connection.seat_capabilities() & WL_SEAT_CAPABILITY_POINTER)) {
        error = "the Wayland seat has no pointer";
        return nullptr;
    }
    static const wl_pointer_listener kPointer = {
        .enter = TrackerEvents::Enter,
        .leave = TrackerEvents::Leave,
        .motion = TrackerEvents::Motion,
        .button = TrackerEvents::Button,
        .axis = TrackerEvents::Axis,
        .frame = [](void*, wl_pointer*) {},
        .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
        .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
        .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
        .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    };
    t->pointer_ = wl_seat_get_pointer(connection.seat());
    wl_pointer_add_listener(t->pointer_, &kPointer, t.get());

    static const zwlr_layer_surface_v1_listener kLayer = {TrackerEvents::Configure,
                                                          TrackerEvents::Closed};
    for (const auto& output : connection.outputs()) {
        auto layer = std::make_unique<Layer>();
        layer->owner = t.get();
        layer->origin = output->position;
        layer->surface = wl_compositor_create_surface(t->compositor_);
        layer->layer = zwlr_layer_shell_v1_get_layer_surface(
            t->shell_, layer->surface, output->output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
            "ravelkin-pointer");
        zwlr_layer_surface_v1_add_listener(layer->layer, &kLayer, layer.get());
        zwlr_layer_surface_v1_set_anchor(layer->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                           ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(layer->layer, 0, 0);
        // Over bars and panels too, which reserve space.
        zwlr_layer_surface_v1_set_exclusive_zone(layer->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(layer->layer, 0);
        wl_surface_commit(layer->surface);
        t->layers_.push_back(std::move(layer));
    }
    // The configure, then the buffer it lets us attach, shown.
    if (!connection.Roundtrip() || !connection.Roundtrip()) {
        error = *connection.Lost();
        return nullptr;
    }
    const bool shown = std::any_of(t->layers_.begin(), t->layers_.end(), [](const auto& l) {
        return l->configured && l->buffer && !l->closed;
    });
    if (!shown) {
        error = "the Wayland compositor did not show the pointer's layer";
        return nullptr;
    }
    return t;
}

PointerTracker::~PointerTracker() {
    layers_.clear();
    if (pointer_) wl_pointer_destroy(pointer_);
    // The shell's destroy request came with version 3.
    if (shell_ && shell_version_ >= 3) zwlr_layer_shell_v1_destroy(shell_);
    if (shell_ && shell_version_ < 3) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(shell_));
    if (compositor_) wl_compositor_destroy(compositor_);
    connection_.Roundtrip();
}

}  // namespace platform::wayland
