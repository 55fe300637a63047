// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/input_watch.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <thread>

#include "platform/system/linux/keysyms.h"
#include "platform/virtual_keys.h"
#include "platform/x11/display.h"

namespace platform::x11 {
namespace {

// What a key types, when that is a character that shows: no control characters.
std::string PrintableText(KeySym sym) {
    char text[8] = {};
    const int length = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(sym), text, sizeof text);
    if (length <= 1) return {};
    const auto first = static_cast<unsigned char>(text[0]);
    if (first < 0x20 || first == 0x7F) return {};
    return text;
}

class X11InputWatch final : public QueuedInputWatch {
  public:
    X11InputWatch(DisplayPtr display, int opcode, int wake)
        : display_(std::move(display)), opcode_(opcode), wake_(wake) {
        thread_ = std::thread([this] { Read(); });
    }
    ~X11InputWatch() override {
        const std::uint64_t one = 1;
        (void)!write(wake_, &one, sizeof one);
        thread_.join();
        close(wake_);
    }

  private:
    // The thread: every event as it arrives, until woken through wake_ or the server goes.
    void Read() {
        Display* d = display_.get();
        pollfd fds[] = {{ConnectionNumber(d), POLLIN, 0}, {wake_, POLLIN, 0}};
        while (true) {
            while (!ConnectionLost(d) && XPending(d) > 0) {
                XEvent event;
                XNextEvent(d, &event);
                XGenericEventCookie* cookie = &event.xcookie;
                if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
                    !XGetEventData(d, cookie)) {
                    continue;
                }
                Take(cookie->evtype, *static_cast<const XIRawEvent*>(cookie->data));
                XFreeEventData(d, cookie);
            }
            // Not CheckConnection, which drops the events it reads: XPending above has read
            // the socket, and marked the connection lost if the server went.
            if (ConnectionLost(d)) {
                End("the X server has gone");
                return;
            }
            if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents) return;
        }
    }

    Point Pointer() {
        Window root = 0;
        Window child = 0;
        int x = 0;
        int y = 0;
        int wx = 0;
        int wy = 0;
        unsigned mask = 0;
        Display* d = display_.get();
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask);
        return {x, y};
    }

    void Take(int type, const XIRawEvent& raw) {
        WatchedEvent event;
        event.ms = raw.time;
        switch (type) {
            case XI_RawMotion:
                event.at = Pointer();
                if (event.at == last_at_) return;
                break;
            case XI_RawButtonPress:
            case XI_RawButtonRelease:
                event.at = Pointer();
                event.down = type == XI_RawButtonPress;
                // Buttons 4 to 7 are the wheel's steps: a press each, its release says nothing.
                if (raw.detail >= 4 && raw.detail <= 7) {
                    if (!event.down) return;
                    event.kind = WatchedEvent::Kind::kWheel;
                    break;
                }
                event.kind = WatchedEvent::Kind::kButton;
                if (raw.detail == 1) event.button = Button::kLeft;
                if (raw.detail == 3) event.button = Button::kRight;
                break;
            case XI_RawKeyPress:
            case XI_RawKeyRelease: {
                event.kind = WatchedEvent::Kind::kKey;
                event.down = type == XI_RawKeyPress;
                const auto code = static_cast<KeyCode>(raw.detail);
                const KeySym plain = XkbKeycodeToKeysym(display_.get(), code, 0, 0);
                event.vk = VirtualKeyForKeysym(static_cast<std::uint32_t>(plain));
                if (const char* name = XKeysymToString(plain)) event.name = name;
                if (event.vk == vk::kLShift || event.vk == vk::kRShift) {
                    shift_[event.vk == vk::kRShift] = event.down;
                }
                if (event.down) {
                    const int level = shift_[0] || shift_[1] ? 1 : 0;
                    event.text = PrintableText(XkbKeycodeToKeysym(display_.get(), code, 0, level));
                }
                break;
            }
            default:
                return;
        }
        if (event.kind != WatchedEvent::Kind::kKey) last_at_ = event.at;
        Push(std::move(event));
    }

    DisplayPtr display_;
    int opcode_;
    int wake_;  // an eventfd: written once to end the thread
    Point last_at_{-1, -1};
    bool shift_[2] = {false, false};
    std::thread thread_;  // last member: started once everything it uses is there
};

}  // namespace

std::unique_ptr<InputWatch> WatchX11Input(const std::string& display_name, std::string& error) {
    DisplayPtr display = OpenDisplay(display_name.c_str(), &error);
    if (!display) return nullptr;
    Display* d = display.get();
    int opcode = 0;
    int event = 0;
    int failure = 0;
    int major = 2;
    int minor = 2;
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &failure) ||
        XIQueryVersion(d, &major, &minor) != Success) {
        error = "the X server does not offer XInput 2, which watching the input needs";
        return nullptr;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    for (const int type :
         {XI_RawMotion, XI_RawButtonPress, XI_RawButtonRelease, XI_RawKeyPress, XI_RawKeyRelease}) {
        XISetMask(bits, type);
    }
    XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
    XISelectEvents(d, DefaultRootWindow(d), &mask, 1);
    XSync(d, False);
    const int wake = eventfd(0, EFD_CLOEXEC);
    if (wake < 0) {
        error = "cannot make an event descriptor to watch the input";
        return nullptr;
    }
    return std::make_unique<X11InputWatch>(std::move(display), opcode, wake);
}

}  // namespace platform::x11
