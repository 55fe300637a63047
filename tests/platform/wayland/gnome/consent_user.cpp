// SPDX-License-Identifier: GPL-3.0-or-later
// ravelkin-consent-user: the user in front of a headless mutter, for the GNOME backend's tests.
// Through mutter's own remote desktop (org.gnome.Mutter.RemoteDesktop, with a screen cast of
// the monitor to see and aim with), it watches the screen and answers each portal dialog
// that asks to share the screen and allow remote interaction, as a user would with the mouse:
// it turns on "Allow remote interaction" and presses Share. It prints "answered" after each
// dialog, and runs until killed. Sent SIGUSR1, it presses the stop chord, Ctrl+Alt+End, and
// prints "pressed the stop chord".
#include <linux/input-event-codes.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "platform/wayland/bus_refs.h"
#include "platform/wayland/gnome/pipewire_frames.h"

namespace {

using namespace platform::wayland::gnome;
using namespace platform::wayland;
using namespace std::chrono_literals;

constexpr char kMutterRemote[] = "org.gnome.Mutter.RemoteDesktop";
constexpr char kMutterCast[] = "org.gnome.Mutter.ScreenCast";

int Fail(const std::string& why) {
    std::fprintf(stderr, "ravelkin-consent-user: %s\n", why.c_str());
    return 1;
}

std::uint32_t g_node = 0;
volatile sig_atomic_t g_press_chord = 0;
void OnUsr1(int) {
    g_press_chord = 1;
}
int OnStreamAdded(sd_bus_message* m, void*, sd_bus_error*) {
    sd_bus_message_read(m, "u", &g_node);
    return 0;
}

struct Rgb {
    int r, g, b;
};
Rgb At(const Frame& f, int x, int y) {
    const std::uint8_t* p = f.bytes.data() + static_cast<std::size_t>(y) * f.stride + x * 4;
    return {p[f.channels.red], p[f.channels.green], p[f.channels.blue]};
}
// The accent blue of GNOME's suggested buttons and of a switch that is on.
bool Blue(Rgb c) {
    return std::abs(c.r - 53) <= 6 && std::abs(c.g - 132) <= 8 && std::abs(c.b - 228) <= 6;
}
bool BlueBlock(const Frame& f, int x0, int y0, int w, int h) {
    if (x0 + w > f.width || y0 + h > f.height) return false;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            if (!Blue(At(f, x, y))) return false;
        }
    }
    return true;
}

// The dialog, found by its Share button: the top-most solid block of the accent blue on the
// screen (a screen of noise has none); the row of "Allow remote interaction" and its switch
// lie at fixed distances from it.
struct Dialog {
    int share_x = 0, share_y = 0;
};
std::optional<Dialog> FindDialog(const Frame& f) {
    for (int y = 0; y + 10 <= f.height; ++y) {
        for (int x = 0; x + 20 <= f.width; ++x) {
            if (!Blue(At(f, x, y)) || !BlueBlock(f, x, y, 20, 10)) continue;
            // Its extent along a row above the label, and down a column left of it.
            int left = x, right = x, bottom = y;
            while (left > 0 && Blue(At(f, left - 1, y + 2))) --left;
            while (right + 1 < f.width && Blue(At(f, right + 1, y + 2))) ++right;
            while (bottom + 1 < f.height && Blue(At(f, x + 2, bottom + 1))) ++bottom;
            return Dialog{(left + right) / 2, (y + bottom) / 2};
        }
    }
    return std::nullopt;
}

class User {
  public:
    int Run() {
        if (sd_bus_open_user(&bus_.bus) < 0) return Fail("no session bus");
        if (!Call(kMutterRemote, "/org/gnome/Mutter/RemoteDesktop", kMutterRemote, "CreateSession",
                  "", &remote_)) {
            return Fail("mutter's remote desktop refused a session");
        }
        std::string id;
        {
            char* value = nullptr;
            if (sd_bus_get_property_string(bus_.bus, kMutterRemote, remote_.c_str(),
                                           "org.gnome.Mutter.RemoteDesktop.Session", "SessionId",
                                           nullptr, &value) < 0) {
                return Fail("mutter's remote desktop session has no id");
            }
            id = value;
            std::free(value);
        }
        std::string cast;
        MessageRef reply;
        ErrorRef error;
        if (sd_bus_call_method(bus_.bus, kMutterCast, "/org/gnome/Mutter/ScreenCast", kMutterCast,
                               "CreateSession", &error.e, &reply.m, "a{sv}", 1,
                               "remote-desktop-session-id", "s", id.c_str()) < 0) {
            return Fail("mutter's screen cast refused a session");
        }
        const char* path = nullptr;
        sd_bus_message_read(reply.m, "o", &path);
        cast = path;
        reply.Reset();
        if (sd_bus_call_method(bus_.bus, kMutterCast, cast.c_str(),
                               "org.gnome.Mutter.ScreenCast.Session", "RecordMonitor", &error.e,
                               &reply.m, "sa{sv}", "", 0) < 0) {
            return Fail(std::string("mutter records no monitor: ") + error.e.message);
        }
        sd_bus_message_read(reply.m, "o", &path);
        stream_ = path;
        SlotRef added;
        sd_bus_match_signal(bus_.bus, &added.s, nullptr, stream_.c_str(),
                            "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded",
                            &OnStreamAdded, nullptr);
        if (!Call(kMutterRemote, remote_.c_str(), "org.gnome.Mutter.RemoteDesktop.Session", "Start",
                  "", nullptr)) {
            return Fail("mutter's remote desktop session did not start");
        }
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (!g_node && std::chrono::steady_clock::now() < until) {
            if (sd_bus_process(bus_.bus, nullptr) <= 0) sd_bus_wait(bus_.bus, 100'000);
        }
        if (!g_node) return Fail("mutter's screen cast sent no stream");
        std::string why;
        auto frames = PipeWireFrames::Open(PipeWireSocket(), g_node, why);
        if (!frames) return Fail(why);
        bool parked = false;
        for (;;) {
            sd_bus_process(bus_.bus, nullptr);
            if (g_press_chord) {
                g_press_chord = 0;
                PressStopChord();
            }
            const auto frame = frames->Newest(200ms, why);
            // A still screen sends nothing; a dialog that shows is a change, and sends it.
            if (!frame) continue;
            // The pointer first waits in the bottom right corner, off the dialog's buttons,
            // which change colour under it.
            if (!parked) {
                Move(frame->width - 0.5, frame->height - 0.5);
                parked = true;
                continue;
            }
            const std::optional<Dialog> dialog = FindDialog(*frame);
            if (!dialog) {
                std::this_thread::sleep_for(100ms);
                continue;
            }
            if (!Blue(At(*frame, dialog->share_x - 37, dialog->share_y + 200))) {
                // "Allow remote interaction" is off: a click on its row turns it on.
                Click(dialog->share_x - 313, dialog->share_y + 200);
                std::this_thread::sleep_for(300ms);
                continue;
            } else {
                Click(dialog->share_x, dialog->share_y);
            }
            std::printf("answered\n");
            std::fflush(stdout);
            std::this_thread::sleep_for(1s);
        }
    }

  private:
    bool Call(const char* dest, const char* path, const char* interface, const char* method,
              const char* types, std::string* object) {
        MessageRef reply;
        ErrorRef error;
        if (sd_bus_call_method(bus_.bus, dest, path, interface, method, &error.e, &reply.m, types) <
            0) {
            return false;
        }
        if (object) {
            const char* got = nullptr;
            if (sd_bus_message_read(reply.m, "o", &got) < 0) return false;
            *object = got;
        }
        return true;
    }
    void Move(double x, double y) {
        sd_bus_call_method(bus_.bus, kMutterRemote, remote_.c_str(),
                           "org.gnome.Mutter.RemoteDesktop.Session", "NotifyPointerMotionAbsolute",
                           nullptr, nullptr, "sdd", stream_.c_str(), x, y);
    }
    void Click(int x, int y) {
        Move(x + 0.5, y + 0.5);
        std::this_thread::sleep_for(50ms);
        for (const int down : {1, 0}) {
            sd_bus_call_method(bus_.bus, kMutterRemote, remote_.c_str(),
                               "org.gnome.Mutter.RemoteDesktop.Session", "NotifyPointerButton",
                               nullptr, nullptr, "ib", BTN_LEFT, down);
            std::this_thread::sleep_for(50ms);
        }
    }
    // Control, Alt and End by their keysyms, let go in the reverse order.
    void PressStopChord() {
        constexpr std::uint32_t kChord[] = {0xffe3, 0xffe9, 0xff57};
        for (const int down : {1, 0}) {
            for (int i = 0; i < 3; ++i) {
                const std::uint32_t keysym = kChord[down ? i : 2 - i];
                sd_bus_call_method(bus_.bus, kMutterRemote, remote_.c_str(),
                                   "org.gnome.Mutter.RemoteDesktop.Session", "NotifyKeyboardKeysym",
                                   nullptr, nullptr, "ub", keysym, down);
                std::this_thread::sleep_for(30ms);
            }
        }
        std::printf("pressed the stop chord\n");
        std::fflush(stdout);
    }
    static UniqueFd PipeWireSocket() {
        UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0",
                      runtime ? runtime : "");
        if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            fd.Reset();
        }
        return fd;
    }

    BusRef bus_;
    std::string remote_;
    std::string stream_;
};

}  // namespace

int main() {
    signal(SIGUSR1, OnUsr1);
    return User().Run();
}
