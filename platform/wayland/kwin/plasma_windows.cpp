// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/kwin/plasma_windows.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "protocol/plasma-window-management-client.h"

namespace platform::wayland::kwin {

// Every event has a handler, the ones we do not need included: KWin sends events of versions
// newer than the one bound, and libwayland aborts the client on an empty slot.
struct WindowEvents {
    static PlasmaWindow& Of(void* data) { return *static_cast<PlasmaWindow*>(data); }

    static void Title(void* data, org_kde_plasma_window*, const char* title) {
        Of(data).title = title ? title : "";
    }
    static void Text(void*, org_kde_plasma_window*, const char*) {}
    static void State(void* data, org_kde_plasma_window*, std::uint32_t flags) {
        Of(data).minimised = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_MINIMIZED;
    }
    static void Desktop(void*, org_kde_plasma_window*, std::int32_t) {}
    static void Unmapped(void* data, org_kde_plasma_window* handle) {
        Of(data).owner->Remove(handle);
    }
    static void InitialState(void* data, org_kde_plasma_window*) { Of(data).described = true; }
    static void Parent(void*, org_kde_plasma_window*, org_kde_plasma_window*) {}
    static void Geometry(void* data, org_kde_plasma_window*, std::int32_t x, std::int32_t y,
                         std::uint32_t width, std::uint32_t height) {
        const auto clamp = [](std::int64_t v) {
            return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
        };
        PlasmaWindow& w = Of(data);
        w.frame = {x, y, clamp(std::int64_t{x} + width), clamp(std::int64_t{y} + height)};
        w.has_frame = true;
    }
    static void Icon(void*, org_kde_plasma_window*) {}
    static void Pid(void*, org_kde_plasma_window*, std::uint32_t) {}
    static void Menu(void*, org_kde_plasma_window*, const char*, const char*) {}

    static constexpr org_kde_plasma_window_listener kWindow = {
        .title_changed = Title,
        .app_id_changed = Text,
        .state_changed = State,
        .virtual_desktop_changed = Desktop,
        .themed_icon_name_changed = Text,
        .unmapped = Unmapped,
        .initial_state = InitialState,
        .parent_window = Parent,
        .geometry = Geometry,
        .icon_changed = Icon,
        .pid_changed = Pid,
        .virtual_desktop_entered = Text,
        .virtual_desktop_left = Text,
        .application_menu = Menu,
        .activity_entered = Text,
        .activity_left = Text,
        .resource_name_changed = Text,
    };

    static PlasmaWindows& Owner(void* data) { return *static_cast<PlasmaWindows*>(data); }
    static void ShowDesktop(void*, org_kde_plasma_window_management*, std::uint32_t) {}
    // Only older versions announce a window without its uuid.
    static void WindowById(void*, org_kde_plasma_window_management*, std::uint32_t) {}
    static void StackingById(void*, org_kde_plasma_window_management*, wl_array*) {}
    static void Stacking(void* data, org_kde_plasma_window_management*, const char* uuids) {
        Owner(data).stacking_ = SplitStacking(uuids);
    }
    static void WindowWithUuid(void* data, org_kde_plasma_window_management*, std::uint32_t,
                               const char* uuid) {
        Owner(data).Add(uuid);
    }

    static constexpr org_kde_plasma_window_management_listener kManager = {
        .show_desktop_changed = ShowDesktop,
        .window = WindowById,
        .stacking_order_changed = StackingById,
        .stacking_order_uuid_changed = Stacking,
        .window_with_uuid = WindowWithUuid,
    };
};

std::vector<std::string> SplitStacking(const char* uuids) {
    std::vector<std::string> order;
    if (!uuids) return order;
    const char* from = uuids;
    while (*from) {
        const char* end = std::strchr(from, ';');
        const std::size_t length = end ? static_cast<std::size_t>(end - from) : std::strlen(from);
        if (length > 0) order.emplace_back(from, length);
        from += length;
        if (*from == ';') ++from;
    }
    return order;
}

PlasmaWindows::PlasmaWindows(org_kde_plasma_window_management* manager) : manager_(manager) {
    org_kde_plasma_window_management_add_listener(manager_, &WindowEvents::kManager, this);
}

PlasmaWindows::~PlasmaWindows() {
    for (PlasmaWindow& w : windows_) org_kde_plasma_window_destroy(w.handle);
    if (manager_) org_kde_plasma_window_management_destroy(manager_);
}

void PlasmaWindows::Abandon() {
    windows_.clear();
    manager_ = nullptr;
}

void PlasmaWindows::Add(const char* uuid) {
    if (!uuid) return;
    PlasmaWindow& w = windows_.emplace_back();
    w.owner = this;
    w.uuid = uuid;
    w.id = next_id_++;
    w.handle = org_kde_plasma_window_management_get_window_by_uuid(manager_, uuid);
    org_kde_plasma_window_add_listener(w.handle, &WindowEvents::kWindow, &w);
}

void PlasmaWindows::Remove(org_kde_plasma_window* handle) {
    org_kde_plasma_window_destroy(handle);
    windows_.remove_if([&](const PlasmaWindow& w) { return w.handle == handle; });
}

std::vector<const PlasmaWindow*> PlasmaWindows::TopFirst() const {
    std::vector<const PlasmaWindow*> order;
    for (const PlasmaWindow& w : windows_) {
        if (w.described) order.push_back(&w);
    }
    // KWin lists the stack bottom first; a window it has not placed in it yet counts as the
    // newest, on top.
    const auto depth = [&](const PlasmaWindow* w) {
        const auto at = std::find(stacking_.begin(), stacking_.end(), w->uuid);
        return at == stacking_.end() ? stacking_.size()
                                     : static_cast<std::size_t>(at - stacking_.begin());
    };
    std::stable_sort(order.begin(), order.end(), [&](const PlasmaWindow* a, const PlasmaWindow* b) {
        const std::size_t da = depth(a), db = depth(b);
        return da != db ? da > db : a->id > b->id;
    });
    return order;
}

const PlasmaWindow* PlasmaWindows::Find(WindowHandle id) const {
    for (const PlasmaWindow& w : windows_) {
        if (w.id == id && w.described) return &w;
    }
    return nullptr;
}

}  // namespace platform::wayland::kwin
