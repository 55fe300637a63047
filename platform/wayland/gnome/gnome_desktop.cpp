// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/gnome/gnome_desktop.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "base/stop_request.h"
#include "platform/system/linux/keysyms.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/gnome/pipewire_frames.h"
#include "platform/wayland/gnome/portal_session.h"
#include "platform/wayland/gnome/restore_token.h"
#include "platform/wayland/gnome/session_client.h"
#include "platform/wayland/keymap.h"
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
#include "platform/wayland/gnome/shell_windows.h"
#endif

namespace platform::wayland::gnome {
namespace {

using namespace std::chrono_literals;

// The first picture: the compositor sends one when the screen next changes after the stream
// starts, which a still screen may not do by itself.
constexpr auto kFirstFrameWait = 400ms;
constexpr int kFirstFrameNudges = 10;

}  // namespace

// The windows as the Shell extension last listed them, top first.
struct GnomeDesktop::Windows {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    std::unique_ptr<ShellWindows> shell;
    std::vector<ShellWindow> listed;
    const ShellWindow* Find(WindowHandle id) const {
        for (const ShellWindow& w : listed) {
            if (w.id == id) return &w;
        }
        return nullptr;
    }
#endif
};

namespace {

// The session of this process's own, where no session service is installed.
std::unique_ptr<RemoteSession> OpenOwnSession(std::string& error) {
    PortalVersions versions;
    if (!AskPortalVersions(versions, error)) return nullptr;
    PortalSession::Options options;
    const std::string token_path = RestoreTokenPath();
    if (versions.remote_desktop >= 2) options.restore_token = ReadRestoreToken(token_path);
    std::unique_ptr<PortalSession> session = PortalSession::Open(options, error);
    if (!session) {
        error = "GNOME's remote desktop portal: " + error;
        return nullptr;
    }
    // The token is good for one session: the next run restores with the new one.
    if (versions.remote_desktop >= 2) WriteRestoreToken(token_path, session->restore_token());
    return session;
}

}  // namespace

OpenResult GnomeDesktop::Open() {
    OpenResult result;
    // Not GNOME, or no portal: said at once, without starting the service.
    PortalVersions versions;
    if (!AskPortalVersions(versions, result.error)) return result;
    bool installed = false;
    std::unique_ptr<RemoteSession> session = SessionClient::Open(result.error, installed);
    if (!session && !installed) session = OpenOwnSession(result.error);
    if (!session) return result;
    UniqueFd remote = session->OpenPipeWireRemote(result.error);
    if (!remote) return result;
    std::unique_ptr<PipeWireFrames> frames =
        PipeWireFrames::Open(std::move(remote), session->stream().node, result.error);
    if (!frames) return result;
    result.desktop.reset(new GnomeDesktop(std::move(session), std::move(frames)));
    // A picture before the first copy: the pointer nudged, if need be, makes the compositor
    // paint the screen again, and send it.
    std::string why;
    for (int i = 0; i <= kFirstFrameNudges; ++i) {
        if (result.desktop->frames_->Newest(kFirstFrameWait, why)) return result;
        if (!why.empty() && why != "no picture of the monitor came") break;
        result.desktop->session_->MovePointer(i % 2, i % 2);
    }
    result.error = "GNOME shares no picture of the monitor: " + why;
    result.desktop.reset();
    return result;
}

GnomeDesktop::GnomeDesktop(std::unique_ptr<RemoteSession> session,
                           std::unique_ptr<PipeWireFrames> frames)
    : session_(std::move(session)),
      frames_(std::move(frames)),
      windows_(std::make_unique<Windows>()) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    windows_->shell = ShellWindows::Open(windows_error_);
#else
    windows_error_ = "the GNOME Shell extension is not built";
#endif
}

GnomeDesktop::~GnomeDesktop() {
    WatchStopKey(false);
    // The picture stream before the session that carries it.
    frames_.reset();
}

Capabilities GnomeDesktop::Can() const {
    Capabilities can;
    can.pointer_position = false;
    can.key_state = false;
    can.window_rects = windows_error_.empty();
    can.no_windows = windows_error_;
    return can;
}

bool GnomeDesktop::IsKeyDown(std::uint8_t vk) {
    if (Lost()) return false;
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    if (vk == vk::kRControl && stop_grabbed_ && windows_->shell && windows_->shell->StopPressed()) {
        return true;
    }
#endif
    if (vk == vk::kLButton) return LeftButtonHeld();
    const auto& held = HeldKeys();
    return std::find(held.begin(), held.end(), vk) != held.end();
}

void GnomeDesktop::WatchStopKey(bool watching) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    if (!windows_->shell) return;
    if (watching && !stop_grabbed_) {
        std::string why;
        stop_grabbed_ = windows_->shell->GrabStopChord(why);
    } else if (!watching && stop_grabbed_) {
        windows_->shell->ReleaseStopChord();
        stop_grabbed_ = false;
    }
#else
    static_cast<void>(watching);
#endif
}

std::string GnomeDesktop::StopChord() {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    WatchStopKey(true);
    return stop_grabbed_ ? ShellWindows::Chord() : std::string();
#else
    return {};
#endif
}

void GnomeDesktop::Pause(std::uint32_t ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_request::IsRaised()) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, 20ms));
    }
}

Size GnomeDesktop::ScreenSize() {
    return session_->stream().size;
}

bool GnomeDesktop::CopyScreen(std::int32_t left, std::int32_t top, std::int32_t width,
                              std::int32_t height, Bitmap& out) {
    out.Reset();
    constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;
    if (Lost() || width <= 0 || height <= 0 || std::int64_t{width} * height > kMaxPixels) {
        return false;
    }
    std::string why;
    const std::shared_ptr<const Frame> frame = frames_->Newest(0ms, why);
    if (!frame) {
        copy_error_ = "GNOME gave no picture of the monitor: " + why;
        return false;
    }
    const Size size = session_->stream().size;
    if (frame->width != size.width || frame->height != size.height) {
        copy_error_ = "GNOME's picture of the monitor is " + std::to_string(frame->width) + "x" +
                      std::to_string(frame->height) + " for a monitor of " +
                      std::to_string(size.width) + "x" + std::to_string(size.height) +
                      ": a scaled monitor cannot be copied pixel for pixel";
        return false;
    }
    if (!CopyFrameArea(frame, left, top, width, height, out)) {
        copy_error_ = "no memory for the copy";
        return false;
    }
    return true;
}

void GnomeDesktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    if (!windows_->shell) return;
    std::vector<ShellWindow> listed;
    std::string why;
    if (!windows_->shell->List(listed, why)) {
        windows_error_ = why;
        windows_->listed.clear();
        return;
    }
    windows_->listed = std::move(listed);
    std::vector<WindowHandle> ids;
    for (const ShellWindow& w : windows_->listed) ids.push_back(w.id);
    for (WindowHandle id : ids) {
        if (!visit(id)) break;
    }
#else
    static_cast<void>(visit);
#endif
}

std::string GnomeDesktop::WindowTitle(WindowHandle window) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    const ShellWindow* w = windows_->Find(window);
    return w ? w->title : std::string();
#else
    static_cast<void>(window);
    return {};
#endif
}

bool GnomeDesktop::IsWindowMinimised(WindowHandle window) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    const ShellWindow* w = windows_->Find(window);
    return w && w->minimised;
#else
    static_cast<void>(window);
    return false;
#endif
}

bool GnomeDesktop::IsWindowVisible(WindowHandle window) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    const ShellWindow* w = windows_->Find(window);
    return w && (w->visible || w->minimised);
#else
    static_cast<void>(window);
    return false;
#endif
}

std::optional<Rect> GnomeDesktop::WindowRect(WindowHandle window) {
#ifdef RAVELKIN_HAVE_SHELL_WINDOWS
    const ShellWindow* w = windows_->Find(window);
    if (!w) return std::nullopt;
    const Point origin = session_->stream().position;
    return Rect{w->frame.left - origin.x, w->frame.top - origin.y, w->frame.right - origin.x,
                w->frame.bottom - origin.y};
#else
    static_cast<void>(window);
    return std::nullopt;
#endif
}

std::optional<std::string> GnomeDesktop::Lost() const {
    return session_->Lost();
}

std::unique_ptr<InputWatch> GnomeDesktop::WatchInput(std::string& error) {
    error =
        "GNOME lets no program watch the mouse and keyboard of others, so a script cannot be "
        "recorded here: record in an X11 session";
    return nullptr;
}

void GnomeDesktop::SendPointerMove(Point to) {
    pointer_ = to;
    // The middle of the pixel: the compositor rounds a position down to its pixel.
    session_->MovePointer(to.x + 0.5, to.y + 0.5);
}

void GnomeDesktop::SendButton(Button button, bool down) {
    session_->Button(button == Button::kLeft ? BTN_LEFT : BTN_RIGHT, down);
}

void GnomeDesktop::SendKey(std::uint8_t vk, bool down) {
    // The keypad's '.' needs NumLock, which no program can read or set here: the main
    // keyboard's '.' types the same character whatever the lock.
    const std::uint32_t code = vk == vk::kDecimal ? KEY_DOT : UsKeyFor(vk);
    if (code != 0) {
        session_->Keycode(static_cast<std::int32_t>(code), down);
        return;
    }
    // Keys the US keyboard lacks go by their symbol, which the compositor finds in its keymap.
    if (const std::uint32_t keysym = KeysymForVirtualKey(vk); keysym != 0) {
        session_->Keysym(keysym, down);
    }
}

}  // namespace platform::wayland::gnome
