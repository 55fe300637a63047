// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/kwin/kwin_desktop.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <new>
#include <string_view>
#include <utility>

#include "base/stop_request.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/keymap.h"
#include "platform/wayland/kwin/plasma_windows.h"
#include "platform/wayland/kwin/screenshots.h"
#include "platform/wayland/kwin/stop_shortcut.h"
#include "protocol/fake-input-client.h"
#include "protocol/plasma-window-management-client.h"

namespace platform::wayland::kwin {

// KWin's own globals, bound while the connection learns the others; fake input once the
// seat's devices without it are known.
struct Globals {
    org_kde_kwin_fake_input* input = nullptr;
    std::uint32_t input_name = 0;
    std::uint32_t input_version = 0;
    // Listened to from its binding on: KWin announces the windows already shown right after
    // it, and an event that comes before a listener is dropped.
    std::unique_ptr<PlasmaWindows> windows;
    bool kde = false;  // the compositor offers anything of KDE's: it is KWin

    // Before the connection goes.
    ~Globals() {
        windows.reset();
        if (input) org_kde_kwin_fake_input_destroy(input);
    }
    void Bind(wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t version) {
        const std::string_view is(interface);
        if (is.starts_with("org_kde_")) kde = true;
        if (is == org_kde_kwin_fake_input_interface.name && !input_name) {
            input_name = name;
            input_version = std::min<std::uint32_t>(version, 4);
        } else if (is == org_kde_plasma_window_management_interface.name && !windows) {
            windows =
                std::make_unique<PlasmaWindows>(static_cast<org_kde_plasma_window_management*>(
                    wl_registry_bind(registry, name, &org_kde_plasma_window_management_interface,
                                     std::min<std::uint32_t>(version, 16))));
        }
    }
    void BindInput(wl_registry* registry) {
        input = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
            registry, input_name, &org_kde_kwin_fake_input_interface, input_version));
    }
};

namespace {

// On a seat that had no pointer or keyboard (a headless KWin), our fake input brings them, and
// each client asks for them only once told: events sent before that reach no client.
void LetClientsTakeDevices(Connection& connection, std::uint32_t had) {
    constexpr std::uint32_t kBoth = WL_SEAT_CAPABILITY_POINTER | WL_SEAT_CAPABILITY_KEYBOARD;
    if (!connection.seat() || (had & kBoth) == kBoth) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (auto now = std::chrono::steady_clock::now(); now < until;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        if (!connection.DispatchFor(static_cast<int>(left.count()) + 1)) return;
    }
}

}  // namespace

OpenResult KWinDesktop::Open() {
    OpenResult result;
    auto globals = std::make_unique<Globals>();
    std::unique_ptr<Connection> connection = Connection::Open(
        result.error, [g = globals.get()](wl_registry* registry, std::uint32_t name,
                                          const char* interface, std::uint32_t version) {
            g->Bind(registry, name, interface, version);
        });
    if (!connection) {
        // Their display has gone with the connection: nothing is left to destroy them with.
        globals->input = nullptr;
        if (globals->windows) globals->windows->Abandon();
        return result;
    }
    std::string missing;
    // Absolute motion came with version 3 of fake input, keys with 4.
    if (!globals->input_name || globals->input_version < 4) missing = "org_kde_kwin_fake_input 4";
    if (!globals->windows) {
        missing += (missing.empty() ? "" : ", ") + std::string("org_kde_plasma_window_management");
    }
    if (!missing.empty()) {
        result.error = globals->kde
                           ? "KWin does not grant this program " + missing +
                                 ": it grants them to an installed program whose "
                                 "desktop file lists them"
                           : "the Wayland compositor is not KWin (it offers no " + missing + ")";
        globals.reset();
        return result;
    }
    std::unique_ptr<ScreenShots> shots = ScreenShots::Open(result.error);
    if (!shots) {
        globals.reset();
        return result;
    }
    result.desktop.reset(
        new KWinDesktop(std::move(globals), std::move(connection), std::move(shots)));
    return result;
}

KWinDesktop::KWinDesktop(std::unique_ptr<Globals> globals, std::unique_ptr<Connection> connection,
                         std::unique_ptr<ScreenShots> shots)
    : connection_(std::move(connection)),
      globals_(std::move(globals)),
      windows_(std::move(globals_->windows)),
      shots_(std::move(shots)) {
    const std::uint32_t had = connection_->seat_capabilities();
    globals_->BindInput(connection_->registry());
    org_kde_kwin_fake_input_authenticate(globals_->input, "Ravelkin",
                                         "runs the scripts its user chose");
    // The windows shown now, described.
    connection_->Roundtrip();
    connection_->Roundtrip();
    LetClientsTakeDevices(*connection_, had);
}

KWinDesktop::~KWinDesktop() {
    windows_.reset();
    globals_.reset();
}

Capabilities KWinDesktop::Can() const {
    Capabilities can;
    can.pointer_position = false;
    can.key_state = false;
    return can;
}

bool KWinDesktop::IsKeyDown(std::uint8_t vk) {
    if (connection_->Lost()) return false;
    if (vk == vk::kRControl && stop_ && stop_->Pressed()) return true;
    if (vk == vk::kLButton) return LeftButtonHeld();
    const auto& held = HeldKeys();
    return std::find(held.begin(), held.end(), vk) != held.end();
}

void KWinDesktop::WatchStopKey(bool watching) {
    if (!watching) {
        stop_.reset();
        return;
    }
    StopChord();
}

std::string KWinDesktop::StopChord() {
    std::string ignored;  // without the chord, the runner says SIGINT and SIGTERM stop a run
    if (!stop_) stop_ = StopShortcut::Register(ignored);
    return stop_ ? kStopChordName : "";
}

void KWinDesktop::Pause(std::uint32_t ms) {
    connection_->Wait(ms);
}

Size KWinDesktop::ScreenSize() {
    return connection_->LayoutSize();
}

bool KWinDesktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                             std::int32_t height, Bitmap& out) {
    out.Reset();
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (connection_->Lost() || width <= 0 || height <= 0 ||
        std::int64_t{width} * height > kMaxPixels) {
        return false;
    }
    connection_->DispatchPending();
    const Rect box = connection_->LayoutBox();
    // KWin copies only what lies on the screen; the rest of the area stays black.
    const std::int64_t x0 = std::max<std::int64_t>(std::int64_t{left} + box.left, box.left);
    const std::int64_t y0 = std::max<std::int64_t>(std::int64_t{top} + box.top, box.top);
    const std::int64_t x1 =
        std::min<std::int64_t>(std::int64_t{left} + box.left + width, box.right);
    const std::int64_t y1 =
        std::min<std::int64_t>(std::int64_t{top} + box.top + height, box.bottom);
    try {
        out.Allocate(width, height, false);
    } catch (const std::bad_alloc&) {
        out.Reset();
        return false;
    }
    if (x1 <= x0 || y1 <= y0) return true;
    const Rect area{static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
                    static_cast<std::int32_t>(x1), static_cast<std::int32_t>(y1)};
    const Point at{static_cast<std::int32_t>(x0 - box.left - left),
                   static_cast<std::int32_t>(y0 - box.top - top)};
    if (!shots_->Capture(area, out, at)) {
        copy_error_ = shots_->error();
        out.Reset();
        return false;
    }
    return true;
}

void KWinDesktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
    // Two round trips: the first brings the windows shown before the call, the second what
    // KWin says of each once asked.
    if (!connection_->Roundtrip() || !connection_->Roundtrip()) return;
    std::vector<WindowHandle> ids;
    for (const PlasmaWindow* w : windows_->TopFirst()) ids.push_back(w->id);
    for (WindowHandle id : ids) {
        if (!visit(id)) break;
    }
}

std::string KWinDesktop::WindowTitle(WindowHandle window) {
    const PlasmaWindow* w = windows_->Find(window);
    return w ? w->title : std::string();
}

bool KWinDesktop::IsWindowMinimised(WindowHandle window) {
    const PlasmaWindow* w = windows_->Find(window);
    return w && w->minimised;
}

bool KWinDesktop::IsWindowVisible(WindowHandle window) {
    // KWin lists shown windows only, and drops each as it is unmapped.
    return windows_->Find(window) != nullptr;
}

std::optional<Rect> KWinDesktop::WindowRect(WindowHandle window) {
    connection_->DispatchPending();
    const PlasmaWindow* w = windows_->Find(window);
    if (!w || !w->has_frame) return std::nullopt;
    const Rect box = connection_->LayoutBox();
    return Rect{w->frame.left - box.left, w->frame.top - box.top, w->frame.right - box.left,
                w->frame.bottom - box.top};
}

void KWinDesktop::SendPointerMove(Point to) {
    pointer_ = to;
    if (connection_->Lost()) return;
    const Rect box = connection_->LayoutBox();
    org_kde_kwin_fake_input_pointer_motion_absolute(
        globals_->input, wl_fixed_from_int(to.x + box.left), wl_fixed_from_int(to.y + box.top));
    Delivered();
}

void KWinDesktop::Delivered() {
    // Until KWin answers, it may not have read the event: a compositor drops what a client
    // sent unread once that client has gone, so a run's last click would be lost at its end.
    connection_->Roundtrip();
}

void KWinDesktop::SendButton(Button button, bool down) {
    if (connection_->Lost()) return;
    org_kde_kwin_fake_input_button(
        globals_->input, button == Button::kLeft ? BTN_LEFT : BTN_RIGHT,
        down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    Delivered();
}

void KWinDesktop::SendKey(std::uint8_t vk, bool down) {
    // KWin's keymap gives the keypad's '.' only with NumLock on, which no client can read or
    // set here: the main keyboard's '.' types the same character whatever the lock.
    const std::uint32_t code = vk == vk::kDecimal ? KEY_DOT : UsKeyFor(vk);
    if (code == 0 || connection_->Lost()) return;
    org_kde_kwin_fake_input_keyboard_key(
        globals_->input, code,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    Delivered();
}

std::unique_ptr<InputWatch> KWinDesktop::WatchInput(std::string& error) {
    error =
        "KWin lets no program watch the mouse and keyboard of others, so a script cannot be "
        "recorded here: record in an X11 session, or record X programs on XWayland with "
        "RAVELKIN_BACKEND=x11";
    return nullptr;
}

}  // namespace platform::wayland::kwin
