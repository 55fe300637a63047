// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/wayland_desktop.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <new>
#include <set>

#include "base/stop_request.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/own_windows.h"
#include "platform/wayland/pointer_tracker.h"
#include "platform/wayland/stop_binding.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/view_match.h"

namespace platform::wayland {

OpenResult WaylandDesktop::Open() {
    OpenResult result;
    std::unique_ptr<Connection> connection = Connection::Open(result.error);
    if (!connection) return result;
    const std::string missing = connection->MissingProtocols();
    if (!missing.empty()) {
        result.error = "the Wayland compositor does not offer " + missing;
        return result;
    }
    std::unique_ptr<WaylandDesktop> desktop(new WaylandDesktop(std::move(connection)));
    // Under sway: the windows' rectangles and the stop key through its IPC. Without it the
    // desktop still works, and says what it cannot tell.
    if (const std::optional<std::string> socket = SwayIpc::SocketFromEnvironment()) {
        std::string ignored;
        desktop->sway_ = SwayIpc::Open(*socket, ignored);
        if (desktop->sway_) desktop->sway_socket_ = *socket;
    }
    result.desktop = std::move(desktop);
    return result;
}

WaylandDesktop::WaylandDesktop(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)), copier_(*connection_) {}

WaylandDesktop::~WaylandDesktop() = default;

Capabilities WaylandDesktop::Can() const {
    Capabilities can;
    can.window_rects = sway_ != nullptr;
    can.pointer_position = tracker_ && tracker_->Position();
    can.key_state = sway_ != nullptr;
    return can;
}

std::string WaylandDesktop::BackendName() const {
    return sway_ ? "wayland (sway)" : "wayland";
}

std::optional<std::string> WaylandDesktop::Lost() const {
    if (connection_->Lost()) return connection_->Lost();
    return input_error_;
}

bool WaylandDesktop::HideOwnWindows(bool hide) {
    if (!sway_ || connection_->Lost()) return false;
    if (!hider_) hider_ = std::make_unique<ScratchpadHider>(*sway_, getpid());
    return hide ? hider_->Hide() : hider_->Restore();
}

bool WaylandDesktop::TrackPointer(std::string& error) {
    if (tracker_) return true;
    if (connection_->Lost()) {
        error = *connection_->Lost();
        return false;
    }
    // A seat without a pointer of its own (a headless one) gets ours first.
    Input();
    tracker_ = PointerTracker::Start(*connection_, error);
    return tracker_ != nullptr;
}

Point WaylandDesktop::PointerPosition() {
    if (!tracker_) return pointer_;
    connection_->DispatchPending();
    const std::optional<Point> at = tracker_->Position();
    if (!at) return pointer_;
    const Rect box = connection_->LayoutBox();
    return {at->x - box.left, at->y - box.top};
}

bool WaylandDesktop::IsKeyDown(std::uint8_t vk) {
    if (connection_->Lost()) return false;
    if (vk == vk::kLButton) return LeftButtonHeld();
    if ((vk == vk::kRControl || vk == vk::kControl) && stop_key_ && stop_key_->Held()) {
        return true;
    }
    const auto& held = HeldKeys();
    return std::find(held.begin(), held.end(), vk) != held.end();
}

void WaylandDesktop::Pause(std::uint32_t ms) {
    connection_->Wait(ms);
}

Size WaylandDesktop::ScreenSize() {
    return connection_->LayoutSize();
}

bool WaylandDesktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                                std::int32_t height, Bitmap& out) {
    out.Reset();
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (connection_->Lost() || width <= 0 || height <= 0 ||
        std::int64_t{width} * height > kMaxPixels) {
        return false;
    }
    connection_->DispatchPending();
    const Rect box = connection_->LayoutBox();
    const std::int64_t x = std::int64_t{left} + box.left;
    const std::int64_t y = std::int64_t{top} + box.top;
    try {
        if (x < INT32_MIN / 2 || y < INT32_MIN / 2 || x + width > INT32_MAX / 2 ||
            y + height > INT32_MAX / 2) {
            // Far off every output: all black.
            out.Allocate(width, height, false);
            return true;
        }
        return copier_.Copy(
            {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
             static_cast<std::int32_t>(x + width), static_cast<std::int32_t>(y + height)},
            out);
    } catch (const std::bad_alloc&) {
        out.Reset();
        return false;
    }
}

void WaylandDesktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
    // A round trip: the windows shown before the call are all described by then.
    if (!connection_->Roundtrip()) return;
    std::vector<const Toplevel*> order;
    for (const Toplevel& t : connection_->toplevels()) {
        if (t.described) order.push_back(&t);
    }
    std::sort(order.begin(), order.end(), [](const Toplevel* a, const Toplevel* b) {
        if (a->activated != b->activated) return a->activated;
        return a->activated_at != b->activated_at ? a->activated_at > b->activated_at
                                                  : a->id > b->id;
    });
    std::vector<WindowHandle> ids;
    for (const Toplevel* t : order) ids.push_back(t->id);
    enumerating_ = true;
    for (WindowHandle id : ids) {
        if (!visit(id)) break;
    }
    enumerating_ = false;
    views_.reset();
}

const Toplevel* WaylandDesktop::Find(WindowHandle window) const {
    for (const Toplevel& t : connection_->toplevels()) {
        if (t.id == window && t.described) return &t;
    }
    return nullptr;
}

std::string WaylandDesktop::WindowTitle(WindowHandle window) {
    const Toplevel* t = Find(window);
    return t ? t->title : std::string();
}

bool WaylandDesktop::IsWindowMinimised(WindowHandle window) {
    const Toplevel* t = Find(window);
    return t && t->minimised;
}

const std::vector<SwayView>* WaylandDesktop::Views() {
    if (!sway_) return nullptr;
    if (!views_ || !enumerating_) {
        std::optional<std::vector<SwayView>> views = sway_->Windows();
        if (!views) return nullptr;
        views_ = std::move(views);
    }
    return &*views_;
}

namespace {

// The view of each window, matched in the order the windows appeared, so that two windows
// of the same title and app id keep their views from one question to the next.
const SwayView* ViewOf(const std::list<Toplevel>& toplevels, WindowHandle window,
                       const std::vector<SwayView>& views) {
    std::vector<const Toplevel*> by_age;
    for (const Toplevel& t : toplevels) {
        if (t.described) by_age.push_back(&t);
    }
    std::sort(by_age.begin(), by_age.end(),
              [](const Toplevel* a, const Toplevel* b) { return a->id < b->id; });
    std::set<std::int64_t> used;
    for (const Toplevel* t : by_age) {
        const std::optional<std::size_t> match =
            MatchView(t->title, t->app_id, t->activated, views, used);
        if (t->id == window) return match ? &views[*match] : nullptr;
        if (match) used.insert(views[*match].id);
    }
    return nullptr;
}

}  // namespace

bool WaylandDesktop::IsWindowVisible(WindowHandle window) {
    const Toplevel* t = Find(window);
    if (!t) return false;
    if (t->minimised) return true;
    const std::vector<SwayView>* views = Views();
    if (!views) return true;
    const SwayView* view = ViewOf(connection_->toplevels(), window, *views);
    // A window in the scratchpad or on a hidden workspace is not on the screen.
    return !view || view->visible;
}

std::optional<Rect> WaylandDesktop::WindowRect(WindowHandle window) {
    if (!Find(window)) return std::nullopt;
    const std::vector<SwayView>* views = Views();
    if (!views) return std::nullopt;
    const SwayView* view = ViewOf(connection_->toplevels(), window, *views);
    if (!view) return std::nullopt;
    const Rect box = connection_->LayoutBox();
    return Rect{view->rect.left - box.left, view->rect.top - box.top, view->rect.right - box.left,
                view->rect.bottom - box.top};
}

void WaylandDesktop::WatchStopKey(bool watching) {
    if (!watching) {
        stop_key_.reset();
        return;
    }
    if (stop_key_ || sway_socket_.empty() || connection_->Lost()) return;
    std::string ignored;
    stop_key_ = StopKeyBinding::Create(sway_socket_, ignored);
}

VirtualInput* WaylandDesktop::Input() {
    if (input_ || input_error_ || connection_->Lost()) return input_.get();
    // Made at the first event and kept to the end: a copy or a check needs no devices.
    std::string error;
    input_ = VirtualInput::Create(*connection_, error);
    if (!input_) input_error_ = "cannot send input: " + error;
    return input_.get();
}

void WaylandDesktop::SendPointerMove(Point to) {
    pointer_ = to;
    const Rect box = connection_->LayoutBox();
    if (VirtualInput* input = Input()) input->Move({to.x + box.left, to.y + box.top}, box);
}

void WaylandDesktop::SendButton(Button button, bool down) {
    if (VirtualInput* input = Input()) input->Press(button, down);
}

void WaylandDesktop::SendKey(std::uint8_t vk, bool down) {
    if (VirtualInput* input = Input()) input->Key(vk, down);
}

std::unique_ptr<InputWatch> WaylandDesktop::WatchInput(std::string& error) {
    // Reading /dev/input would see every keystroke of the machine, passwords included, and
    // needs rights a desktop program should not have: we do not.
    error =
        "Wayland lets no program watch the mouse and keyboard of others, so a script cannot be "
        "recorded here: record in an X11 session, or record X programs on XWayland with "
        "RAVELKIN_BACKEND=x11";
    return nullptr;
}

}  // namespace platform::wayland
