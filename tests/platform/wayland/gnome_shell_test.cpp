// SPDX-License-Identifier: GPL-3.0-or-later
// The client of Ravelkin's GNOME Shell extension on a headless GNOME Shell of its own
// (scripts/lib/with-gnome-shell), which runs a copy of the source tree's extension that answers
// this program. The windows are ravelkin-target through XWayland, whose frames X tells as well, and
// a GTK window of zenity. Keys come through mutter's remote desktop, as a user's would.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wayland/gnome/shell_windows.h"
#include "tests/platform/wayland/sway_testing.h"
#include "tests/support/wait_until.h"

namespace {

using platform::Rect;
using platform::wayland::gnome::ShellWindow;
using platform::wayland::gnome::ShellWindows;
using sway_testing::Child;
using testing_support::WaitUntil;

constexpr const char* kUuid = "ravelkin@ravelkin.org";

// An X window of ravelkin-target, at X,Y; its X id once drawn.
struct Target {
    std::unique_ptr<Child> child;
    std::string xid;
};
Target StartTarget(const std::string& title, const std::string& position) {
    Target target;
    target.child = std::make_unique<Child>(std::vector<std::string>{
        sway_testing::ProgramDir() + "/ravelkin-target", "--title", title, "--position", position});
    std::smatch ready;
    EXPECT_TRUE(WaitUntil([&] {
        return std::regex_search(target.child->Output(), ready, std::regex("ready (0x[0-9a-f]+)"));
    })) << title
        << " did not appear";
    if (!ready.empty()) target.xid = ready[1];
    return target;
}

// What a program printed, or nothing when it failed.
std::optional<std::string> RunTool(const std::vector<std::string>& args) {
    Child child(args, {}, true);
    return child.Finish();
}

// The frame of an X window as X tells it: its place and size, grown by the frame mutter
// drew around it.
std::optional<Rect> XFrame(const std::string& xid) {
    const auto info = RunTool({"xwininfo", "-id", xid});
    const auto extents = RunTool({"xprop", "-id", xid, "_NET_FRAME_EXTENTS"});
    if (!info || !extents) return std::nullopt;
    auto number = [&](const char* label) {
        std::smatch m;
        return std::regex_search(*info, m, std::regex(std::string(label) + ":\\s+(-?\\d+)"))
                   ? std::stoi(m[1])
                   : -1;
    };
    std::smatch e;
    if (!std::regex_search(*extents, e, std::regex("= (\\d+), (\\d+), (\\d+), (\\d+)"))) {
        return std::nullopt;
    }
    const int x = number("Absolute upper-left X"), y = number("Absolute upper-left Y");
    const int width = number("Width"), height = number("Height");
    return Rect{x - std::stoi(e[1]), y - std::stoi(e[3]), x + width + std::stoi(e[2]),
                y + height + std::stoi(e[4])};
}

std::vector<ShellWindow> List(ShellWindows& shell) {
    std::vector<ShellWindow> windows;
    std::string error;
    EXPECT_TRUE(shell.List(windows, error)) << error;
    return windows;
}

std::optional<ShellWindow> Find(ShellWindows& shell, const std::string& title) {
    for (auto& window : List(shell)) {
        if (window.title == title) return window;
    }
    return std::nullopt;
}

// The titles of the list that are among these, in the list's order.
std::vector<std::string> Order(ShellWindows& shell, const std::vector<std::string>& titles) {
    std::vector<std::string> order;
    for (const auto& window : List(shell)) {
        if (std::find(titles.begin(), titles.end(), window.title) != titles.end()) {
            order.push_back(window.title);
        }
    }
    return order;
}

std::unique_ptr<ShellWindows> OpenShell() {
    std::string error;
    auto shell = ShellWindows::Open(error);
    EXPECT_TRUE(shell) << error;
    return shell;
}

// A session bus connection of the test's own, for what GNOME Shell offers besides.
struct Bus {
    sd_bus* bus = nullptr;
    Bus() { sd_bus_open_user(&bus); }
    ~Bus() { sd_bus_flush_close_unref(bus); }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    // Calls a method whose answer is one value of the given type, or none, read into value (a
    // std::string for a string or an object path); false on failure.
    template <typename... Args>
    bool Call(const char* service, const char* path, const char* interface, const char* method,
              const char* in, const char* out, void* value, Args... args) {
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        int r =
            sd_bus_call_method(bus, service, path, interface, method, &error, &reply, in, args...);
        // A string lives in the answer: copied out before it goes.
        const bool text = out && (*out == 's' || *out == 'o');
        const char* chars = nullptr;
        if (r >= 0 && out) r = sd_bus_message_read(reply, out, text ? &chars : value);
        if (r >= 0 && text) *static_cast<std::string*>(value) = chars;
        if (r < 0) ADD_FAILURE() << method << ": " << (error.message ? error.message : "failed");
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
        return r >= 0;
    }

    bool SetExtension(bool enabled) {
        int done = 0;
        return Call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                    enabled ? "EnableExtension" : "DisableExtension", "s", "b", &done, kUuid) &&
               done;
    }
};

// A keyboard of mutter's remote desktop, which lives as long as the connection that made it.
class RemoteKeyboard {
  public:
    RemoteKeyboard() {
        std::string path;
        if (bus_.Call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                      "org.gnome.Mutter.RemoteDesktop", "CreateSession", "", "o", &path)) {
            session_ = path;
            ok_ = Session("Start", "");
        }
    }
    // Presses the keys in order and lets them go in reverse.
    bool Chord(const std::vector<std::uint32_t>& keysyms) {
        bool ok = ok_;
        for (auto key : keysyms) ok = ok && Session("NotifyKeyboardKeysym", "ub", key, 1);
        for (auto key = keysyms.rbegin(); key != keysyms.rend(); ++key) {
            ok = ok && Session("NotifyKeyboardKeysym", "ub", *key, 0);
        }
        return ok;
    }

  private:
    template <typename... Args>
    bool Session(const char* method, const char* in, Args... args) {
        return bus_.Call("org.gnome.Mutter.RemoteDesktop", session_.c_str(),
                         "org.gnome.Mutter.RemoteDesktop.Session", method, in, nullptr, nullptr,
                         args...);
    }
    Bus bus_;
    std::string session_;
    bool ok_ = false;
};

constexpr std::uint32_t kControl = 0xffe3, kAlt = 0xffe9, kEnd = 0xff57, kHome = 0xff50;
const std::vector<std::uint32_t> kStopChord = {kControl, kAlt, kEnd};

TEST(GnomeShell, ListsWindowsTopFirstWithTheirFramesAndActivatesThem) {
    auto a = StartTarget("Ravelkin A", "100,120");
    auto b = StartTarget("Ravelkin B", "400,300");
    Child gtk({"zenity", "--info", "--title", "Ravelkin GTK", "--text", "a Wayland window"});
    auto shell = OpenShell();
    ASSERT_TRUE(shell);
    ASSERT_TRUE(WaitUntil([&] {
        return Order(*shell, {"Ravelkin A", "Ravelkin B", "Ravelkin GTK"}).size() == 3;
    }));

    for (const auto& target : {&a, &b}) {
        std::optional<Rect> expected;
        std::optional<ShellWindow> window;
        const std::string title = target == &a ? "Ravelkin A" : "Ravelkin B";
        // Placed once mapped: the frame settles, then both sides agree.
        EXPECT_TRUE(WaitUntil([&] {
            expected = XFrame(target->xid);
            window = Find(*shell, title);
            return expected && window && window->frame.left == expected->left &&
                   window->frame.top == expected->top && window->frame.right == expected->right &&
                   window->frame.bottom == expected->bottom;
        })) << title;
        ASSERT_TRUE(window && expected);
        // The frame is more than the X window: mutter's title bar is part of it.
        EXPECT_GT(expected->bottom - expected->top, 160) << title;
        EXPECT_TRUE(window->visible);
        EXPECT_FALSE(window->minimised);
    }
    const auto wayland = Find(*shell, "Ravelkin GTK");
    ASSERT_TRUE(wayland);
    EXPECT_TRUE(wayland->visible);
    EXPECT_GT(wayland->frame.right, wayland->frame.left);

    // Each activation puts its window on top; the others keep their order below it.
    const std::vector<std::string> titles = {"Ravelkin A", "Ravelkin B", "Ravelkin GTK"};
    const struct {
        const char* activate;
        std::vector<std::string> order;
    } steps[] = {
        {"Ravelkin A", {"Ravelkin A"}},
        {"Ravelkin B", {"Ravelkin B", "Ravelkin A"}},
        {"Ravelkin GTK", {"Ravelkin GTK", "Ravelkin B", "Ravelkin A"}},
        {"Ravelkin A", {"Ravelkin A", "Ravelkin GTK", "Ravelkin B"}},
    };
    for (const auto& step : steps) {
        const auto window = Find(*shell, step.activate);
        ASSERT_TRUE(window);
        std::string error;
        ASSERT_TRUE(shell->Activate(window->id, error)) << error;
        std::vector<std::string> order;
        EXPECT_TRUE(WaitUntil([&] {
            order = Order(*shell, titles);
            order.resize(std::min(order.size(), step.order.size()));
            return order == step.order;
        })) << "after activating "
            << step.activate << ", top first: " << testing::PrintToString(order);
    }

    std::string error;
    EXPECT_FALSE(shell->Activate(0xffffffffffULL, error));
    EXPECT_EQ(error, "Ravelkin's GNOME Shell extension: no window 1099511627775");
}

// A window out of view, minimised or on another workspace, is listed as not visible; its
// activation brings it into view, on top.
TEST(GnomeShell, HiddenWindowIsSeenAndActivationBringsItBack) {
    const struct {
        const char* how;
        std::vector<std::string> hide;
        bool minimised;
    } cases[] = {
        {"minimised", {"windowminimize"}, true},
        {"on another workspace", {"set_desktop_for_window"}, false},
    };
    auto shell = OpenShell();
    ASSERT_TRUE(shell);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        auto a = StartTarget(c.how, "200,200");
        ASSERT_TRUE(WaitUntil([&] { return Find(*shell, c.how).has_value(); }));
        std::vector<std::string> hide = {"xdotool"};
        hide.insert(hide.end(), c.hide.begin(), c.hide.end());
        hide.push_back(a.xid);
        if (!c.minimised) hide.push_back("1");
        ASSERT_TRUE(RunTool(hide));
        std::optional<ShellWindow> window;
        EXPECT_TRUE(WaitUntil([&] {
            window = Find(*shell, c.how);
            return window && !window->visible;
        }));
        ASSERT_TRUE(window);
        EXPECT_EQ(window->minimised, c.minimised);

        std::string error;
        ASSERT_TRUE(shell->Activate(window->id, error)) << error;
        EXPECT_TRUE(WaitUntil([&] {
            const auto windows = List(*shell);
            return !windows.empty() && windows.front().id == window->id &&
                   !windows.front().minimised && windows.front().visible;
        }));
    }
}

TEST(GnomeShell, StopChordIsSeenOnlyWhileGrabbed) {
    auto first = OpenShell();
    auto second = OpenShell();
    ASSERT_TRUE(first && second);
    RemoteKeyboard keyboard;
    std::string error;

    // Another program's shortcut, grabbed as GNOME's settings daemon grabs its own: GNOME
    // Shell takes such grabs from the owner of the daemon's name alone.
    Bus other;
    ASSERT_GE(sd_bus_request_name(other.bus, "org.gnome.SettingsDaemon.MediaKeys", 0), 0);
    std::uint32_t action = 0;
    ASSERT_TRUE(other.Call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                           "GrabAccelerator", "suu", "u", &action, "<Control><Alt>Home",
                           0xffffffffu, 0u));
    ASSERT_NE(action, 0u);

    ASSERT_TRUE(first->GrabStopChord(error)) << error;
    EXPECT_FALSE(first->StopPressed());
    // Another shortcut is not ours, and the chord is one run's at a time: another run can
    // neither take it nor let it go.
    bool other_pressed = false;
    sd_bus_slot* slot = nullptr;
    ASSERT_GE(sd_bus_match_signal(
                  other.bus, &slot, nullptr, "/org/gnome/Shell", "org.gnome.Shell",
                  "AcceleratorActivated",
                  [](sd_bus_message*, void* pressed, sd_bus_error*) {
                      *static_cast<bool*>(pressed) = true;
                      return 0;
                  },
                  &other_pressed),
              0);
    ASSERT_TRUE(keyboard.Chord({kControl, kAlt, kHome}));
    EXPECT_TRUE(WaitUntil([&] {
        while (sd_bus_process(other.bus, nullptr) > 0) {
        }
        return other_pressed;
    }));
    sd_bus_slot_unref(slot);
    EXPECT_FALSE(second->GrabStopChord(error));
    EXPECT_NE(error.find("another Ravelkin run"), std::string::npos) << error;
    // Straight to the extension: the client asks only after a grab of its own.
    EXPECT_TRUE(other.Call("org.ravelkin.Shell", "/org/ravelkin/Shell", "org.ravelkin.Shell1",
                           "ReleaseStopChord", "", nullptr, nullptr));
    // GNOME Shell told the other shortcut before any word of ours; a call after it comes
    // after that word too.
    List(*first);
    EXPECT_FALSE(first->StopPressed());
    ASSERT_TRUE(keyboard.Chord(kStopChord));
    EXPECT_TRUE(WaitUntil([&] { return first->StopPressed(); }));
    // Latched: still true, though the chord is up.
    EXPECT_TRUE(first->StopPressed());

    // Released, the chord is free for the next run.
    first->ReleaseStopChord();
    ASSERT_TRUE(second->GrabStopChord(error)) << error;
    EXPECT_FALSE(second->StopPressed());
    ASSERT_TRUE(keyboard.Chord(kStopChord));
    EXPECT_TRUE(WaitUntil([&] { return second->StopPressed(); }));
    second->ReleaseStopChord();
    ASSERT_TRUE(first->GrabStopChord(error)) << error;
    EXPECT_FALSE(first->StopPressed());
    first->ReleaseStopChord();
}

TEST(GnomeShell, GrabEndsWithTheProgramThatHeldIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A run that grabs the chord and is then killed, letting nothing go.
        std::string error;
        auto shell = ShellWindows::Open(error);
        const char done = shell && shell->GrabStopChord(error) ? 'y' : 'n';
        (void)!write(ready[1], &done, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char done = 0;
    EXPECT_EQ(read(ready[0], &done, 1), 1);
    close(ready[0]);
    EXPECT_EQ(done, 'y');
    auto shell = OpenShell();
    ASSERT_TRUE(shell);
    std::string error;
    EXPECT_FALSE(shell->GrabStopChord(error));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(WaitUntil([&] { return shell->GrabStopChord(error); })) << error;
    RemoteKeyboard keyboard;
    ASSERT_TRUE(keyboard.Chord(kStopChord));
    EXPECT_TRUE(WaitUntil([&] { return shell->StopPressed(); }));
}

TEST(GnomeShell, OtherProgramsAreRefused) {
    auto shell = OpenShell();
    ASSERT_TRUE(shell);
    std::string error;
    ASSERT_TRUE(shell->GrabStopChord(error)) << error;
    const std::vector<std::vector<std::string>> calls = {{"Hello"},
                                                         {"ListWindows"},
                                                         {"Activate", "uint64:1"},
                                                         {"GrabStopChord"},
                                                         {"ReleaseStopChord"}};
    for (const auto& call : calls) {
        std::vector<std::string> args = {"dbus-send",           "--session",
                                         "--print-reply",       "--dest=org.ravelkin.Shell",
                                         "/org/ravelkin/Shell", "org.ravelkin.Shell1." + call[0]};
        args.insert(args.end(), call.begin() + 1, call.end());
        Child stranger(args, {}, true);
        EXPECT_NE(stranger.End(0), 0) << call[0];
        EXPECT_TRUE(stranger.Says("AccessDenied")) << call[0] << ": " << stranger.Output();
    }
    // The stranger's ReleaseStopChord let nothing go.
    RemoteKeyboard keyboard;
    ASSERT_TRUE(keyboard.Chord(kStopChord));
    EXPECT_TRUE(WaitUntil([&] { return shell->StopPressed(); }));
}

TEST(GnomeShell, DisabledExtensionSaysHowToEnableIt) {
    auto shell = OpenShell();
    ASSERT_TRUE(shell);
    std::string error;
    // Disabled in a run, it lets the chord go.
    ASSERT_TRUE(shell->GrabStopChord(error)) << error;
    Bus bus;
    ASSERT_TRUE(bus.SetExtension(false));
    const std::string advice = std::string("gnome-extensions enable ") + kUuid;
    EXPECT_TRUE(WaitUntil([&] { return !ShellWindows::Open(error); }));
    EXPECT_NE(error.find(advice), std::string::npos) << error;
    std::vector<ShellWindow> windows;
    EXPECT_FALSE(shell->List(windows, error));
    EXPECT_NE(error.find(advice), std::string::npos) << error;
    EXPECT_FALSE(shell->GrabStopChord(error));
    EXPECT_NE(error.find(advice), std::string::npos) << error;

    // Another program that takes the extension's name and answers as it would is not it.
    Bus impostor;
    ASSERT_GE(sd_bus_request_name(impostor.bus, "org.ravelkin.Shell", 0), 0);
    static const sd_bus_vtable kHello[] = {SD_BUS_VTABLE_START(0),
                                           SD_BUS_METHOD(
                                               "Hello", "", "u",
                                               [](sd_bus_message* call, void*, sd_bus_error*) {
                                                   return sd_bus_reply_method_return(call, "u", 1u);
                                               },
                                               0),
                                           SD_BUS_VTABLE_END};
    ASSERT_GE(sd_bus_add_object_vtable(impostor.bus, nullptr, "/org/ravelkin/Shell",
                                       "org.ravelkin.Shell1", kHello, nullptr),
              0);
    std::atomic<bool> done = false;
    std::thread answering([&] {
        while (!done) {
            if (sd_bus_process(impostor.bus, nullptr) == 0) sd_bus_wait(impostor.bus, 10'000);
        }
    });
    const auto fooled = ShellWindows::Open(error);
    // It does answer, to a caller that asks it.
    std::uint32_t version = 0;
    EXPECT_TRUE(bus.Call("org.ravelkin.Shell", "/org/ravelkin/Shell", "org.ravelkin.Shell1",
                         "Hello", "", "u", &version));
    done = true;
    answering.join();
    EXPECT_EQ(version, 1u);
    EXPECT_FALSE(fooled);
    EXPECT_NE(error.find(advice), std::string::npos) << error;

    // Enabled again, it answers again, and the chord is free.
    ASSERT_TRUE(bus.SetExtension(true));
    std::unique_ptr<ShellWindows> again;
    EXPECT_TRUE(WaitUntil([&] { return (again = ShellWindows::Open(error)) != nullptr; })) << error;
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->GrabStopChord(error)) << error;
}

}  // namespace
