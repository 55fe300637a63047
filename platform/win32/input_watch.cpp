// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/input_watch.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <type_traits>

#include "platform/system/win32/text.h"

namespace platform::win32 {
namespace {

struct Unhook {
    void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};
using Hook = std::unique_ptr<std::remove_pointer_t<HHOOK>, Unhook>;

// The side of a modifier that Windows reported without one (some injected keys): right Shift
// has its own scan code, right CTRL and ALT the extended flag.
std::uint8_t SidedKey(DWORD vk, DWORD scan, bool extended) {
    switch (vk) {
        case VK_SHIFT:
            return scan == 0x36 ? VK_RSHIFT : VK_LSHIFT;
        case VK_CONTROL:
            return extended ? VK_RCONTROL : VK_LCONTROL;
        case VK_MENU:
            return extended ? VK_RMENU : VK_LMENU;
        default:
            return static_cast<std::uint8_t>(vk);
    }
}

// What the key types on the foreground window's layout with Shift alone held or not, when
// that is a character that shows. Flag 4 leaves the layout's dead-key state as it was, so the
// user's next key still combines with a dead key before it.
std::string TypedText(UINT vk, UINT scan, bool shift) {
    BYTE state[256] = {};
    if (shift) state[VK_SHIFT] = 0x80;
    wchar_t typed[8] = {};
    const HKL layout = GetKeyboardLayout(GetWindowThreadProcessId(GetForegroundWindow(), nullptr));
    const int count = ToUnicodeEx(vk, scan, state, typed, 7, 0x4, layout);
    if (count <= 0) return {};
    const std::wstring_view text(typed, static_cast<std::size_t>(count));
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) return {};
    }
    return Utf16ToUtf8(text);
}

// The key's name on the keyboard ("Tab", "Right Shift"); a key injected without a scan code
// is named after the one its virtual key maps to.
std::string KeyName(std::uint8_t vk, DWORD scan, bool extended) {
    if (scan == 0) {
        const UINT mapped = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC_EX);
        scan = mapped & 0xFF;
        extended = (mapped & 0xFF00) == 0xE000;
    }
    wchar_t name[64] = {};
    const LONG param = static_cast<LONG>(((scan & 0xFF) << 16) | (extended ? 1u << 24 : 0u));
    const int length = GetKeyNameTextW(param, name, 64);
    return length > 0 ? Utf16ToUtf8({name, static_cast<std::size_t>(length)}) : std::string();
}

class Win32InputWatch;
// The watch whose thread this is: low-level hooks are called on the thread that set them,
// and get no pointer of their own.
thread_local Win32InputWatch* t_watch = nullptr;

class Win32InputWatch final : public QueuedInputWatch {
  public:
    Win32InputWatch() = default;
    ~Win32InputWatch() override {
        if (!thread_.joinable()) return;
        // The thread made its message queue before it said it watches; a post refused for
        // another reason is tried again while the loop still runs.
        while (!PostThreadMessageW(thread_id_, WM_QUIT, 0, 0) && looping_) Sleep(1);
        thread_.join();
    }

    // Starts the thread and waits until its hooks are set; false, with the reason in error,
    // when Windows refused one.
    bool Start(std::string& error) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            error = "cannot start the thread that watches the input";
            return false;
        }
        std::unique_lock lock(mutex_);
        started_.wait(lock, [this] { return state_ != State::kStarting; });
        if (state_ == State::kWatching) return true;
        error = start_error_;
        lock.unlock();
        thread_.join();
        return false;
    }

  private:
    enum class State { kStarting, kWatching, kFailed };

    // The thread: sets the hooks, then runs the message loop the hooks are called from until
    // WM_QUIT; the hooks go with it.
    void Run() {
        t_watch = this;
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
        const HINSTANCE module = GetModuleHandleW(nullptr);
        const Hook mouse(SetWindowsHookExW(WH_MOUSE_LL, MouseHook, module, 0));
        DWORD refusal = GetLastError();
        const Hook keyboard(mouse ? SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, module, 0)
                                  : nullptr);
        if (mouse && !keyboard) refusal = GetLastError();
        {
            std::lock_guard lock(mutex_);
            if (!mouse || !keyboard) {
                start_error_ =
                    std::string("Windows refused the low-level ") + (mouse ? "keyboard" : "mouse") +
                    " hook that watching the input needs (error " + std::to_string(refusal) + ")";
                state_ = State::kFailed;
                started_.notify_all();
                return;
            }
            thread_id_ = GetCurrentThreadId();
            // A Shift the user holds already types capitals from the first key on.
            shift_[0] = (GetAsyncKeyState(VK_LSHIFT) & 0x8000) != 0;
            shift_[1] = (GetAsyncKeyState(VK_RSHIFT) & 0x8000) != 0;
            last_time_ = GetTickCount();
            ms_ = last_time_;
            looping_ = true;
            state_ = State::kWatching;
            started_.notify_all();
        }
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        looping_ = false;
    }

    static LRESULT CALLBACK MouseHook(int code, WPARAM w, LPARAM l) {
        if (code == HC_ACTION && t_watch) {
            t_watch->TakeMouse(w, *reinterpret_cast<const MSLLHOOKSTRUCT*>(l));
        }
        return CallNextHookEx(nullptr, code, w, l);
    }
    static LRESULT CALLBACK KeyboardHook(int code, WPARAM w, LPARAM l) {
        if (code == HC_ACTION && t_watch) {
            t_watch->TakeKey(w, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(l));
        }
        return CallNextHookEx(nullptr, code, w, l);
    }

    // The hooks' times are GetTickCount's, which wraps after 49.7 days: each is taken as the
    // step from the one before, so the clock goes on past the wrap, and never back for an
    // event stamped earlier than the one before it (injected input may carry any time).
    std::uint64_t Milliseconds(DWORD time) {
        ms_ += std::max<std::int32_t>(static_cast<std::int32_t>(time - last_time_), 0);
        last_time_ = time;
        return static_cast<std::uint64_t>(ms_);
    }

    // The hook's point is in per-monitor-aware screen pixels, as GetCursorPos answers the
    // program, which makes itself per-monitor DPI-aware (UseScreenPixels).
    void TakeMouse(WPARAM message, const MSLLHOOKSTRUCT& info) {
        WatchedEvent event;
        event.at = {info.pt.x, info.pt.y};
        switch (message) {
            case WM_MOUSEMOVE:
                if (event.at == last_at_) return;
                break;
            case WM_MOUSEWHEEL:
            case WM_MOUSEHWHEEL:
                event.kind = WatchedEvent::Kind::kWheel;
                event.down = true;
                break;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
            case WM_XBUTTONDOWN:
                event.down = true;
                [[fallthrough]];
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
            case WM_MBUTTONUP:
            case WM_XBUTTONUP:
                event.kind = WatchedEvent::Kind::kButton;
                if (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) {
                    event.button = Button::kLeft;
                } else if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP) {
                    event.button = Button::kRight;
                }
                break;
            default:
                return;
        }
        last_at_ = event.at;
        event.ms = Milliseconds(info.time);
        Push(std::move(event));
    }

    void TakeKey(WPARAM message, const KBDLLHOOKSTRUCT& info) {
        WatchedEvent event;
        event.kind = WatchedEvent::Kind::kKey;
        event.down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        const bool extended = (info.flags & LLKHF_EXTENDED) != 0;
        event.vk = SidedKey(info.vkCode, info.scanCode, extended);
        event.name = KeyName(event.vk, info.scanCode, extended);
        if (event.vk == VK_LSHIFT || event.vk == VK_RSHIFT) {
            shift_[event.vk == VK_RSHIFT] = event.down;
        }
        if (event.down) event.text = TypedText(event.vk, info.scanCode, shift_[0] || shift_[1]);
        event.ms = Milliseconds(info.time);
        Push(std::move(event));
    }

    // Only the thread reads and writes these once it watches.
    Point last_at_{-1, -1};
    bool shift_[2] = {false, false};
    DWORD last_time_ = 0;
    std::int64_t ms_ = 0;

    std::mutex mutex_;
    std::condition_variable started_;  // the thread started or failed
    State state_ = State::kStarting;
    std::string start_error_;
    DWORD thread_id_ = 0;
    std::atomic<bool> looping_{false};
    std::thread thread_;
};

}  // namespace

std::unique_ptr<InputWatch> WatchWin32Input(std::string& error) {
    auto watch = std::make_unique<Win32InputWatch>();
    if (!watch->Start(error)) return nullptr;
    return watch;
}

}  // namespace platform::win32
