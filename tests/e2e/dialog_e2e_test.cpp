// The whole program with its dialog: started in a folder of scripts on a private X server
// with openbox, driven from the keyboard as a user would, "開始" pressed.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <sys/wait.h>

#include <cstring>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;

// A window on the screen (a viewable child of the root, or a client inside such a frame)
// whose UTF-8 title is exactly title. Toolkits keep unmapped windows with the program's name
// around, which do not count.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool ShownWindowTitled(Display* display, const std::string& title) {
    // Windows come and go while we look: an error about a vanished one is no failure here.
    XSync(display, False);
    const auto previous = XSetErrorHandler(IgnoreXError);
    const bool found = [&] {
        const auto titled = [&](Window w) {
            return ReadProperty(display, w, "_NET_WM_NAME") == std::optional<std::string>(title);
        };
        Window root = 0, parent = 0;
        Window* top = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &top, &count)) {
            return false;
        }
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
            XWindowAttributes a{};
            if (!XGetWindowAttributes(display, top[i], &a) || a.map_state != IsViewable) continue;
            found = titled(top[i]);
            Window* inner = nullptr;
            unsigned n = 0;
            if (!found && XQueryTree(display, top[i], &root, &parent, &inner, &n)) {
                for (unsigned j = 0; j < n && !found; ++j) found = titled(inner[j]);
            }
            if (inner) XFree(inner);
        }
        if (top) XFree(top);
        return found;
    }();
    XSync(display, False);
    XSetErrorHandler(previous);
    return found;
}

void Tap(Display* display, KeySym sym) {
    PressKey(display, sym, true);
    PressKey(display, sym, false);
}

TEST(DialogEndToEnd, StartRunsTheTickedScriptsAndReportsSuccess) {
    Session session;
    ASSERT_NO_FATAL_FAILURE(StartSession(&session, 1024, 768, true));
    Display* display = session.display();
    std::string error;
    auto target = TargetWindow::Start(*session.server, {"--position", "0,0"}, &error);
    ASSERT_NE(target, nullptr) << error;

    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "Images");
    auto saver = Child::Spawn(
        {RAVELKIN_TARGET_PROGRAM, "--save-logo", (dir.path() / "Images/1.bmp").string()});
    int status = -1;
    ASSERT_TRUE(saver && saver->WaitExit(&status, 10s) && status == 0);
    dir.Write("click-logo.dat", "IMG_CLK_F 1,0,0,1024,768,95\n");

    const std::string command =
        "cd '" + dir.path().string() + "' && exec " + RAVELKIN_PROGRAM + " >/dev/null 2>&1";
    auto ravelkin = Child::Spawn({"sh", "-c", command}, session.server->name());
    ASSERT_NE(ravelkin, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ShownWindowTitled(display, "Ravelkin"); }, 20s));
    // Openbox focuses the new dialog, whose focus starts on "終了".
    std::this_thread::sleep_for(500ms);

    // Tab to "順番に実行" (past "開始" and the script list), tick it, back to "開始", press it.
    for (int i = 0; i < 3; ++i) Tap(display, XK_Tab);
    Tap(display, XK_space);
    PressKey(display, XK_Shift_L, true);
    Tap(display, XK_Tab);
    Tap(display, XK_Tab);
    PressKey(display, XK_Shift_L, false);
    Tap(display, XK_space);

    const auto clicks = [&] {
        const auto bytes = ReadProperty(display, target->window(), "_RAVELKIN_CLICKS");
        long n = -1;
        if (bytes && bytes->size() == sizeof n) std::memcpy(&n, bytes->data(), sizeof n);
        return n;
    };
    EXPECT_TRUE(WaitUntil([&] { return clicks() == 1; }, 20s)) << clicks();
    // The success message box: its caption is the program's file name.
    EXPECT_TRUE(WaitUntil([&] { return ShownWindowTitled(display, "ravelkin"); }, 20s));

    Tap(display, XK_Return);  // confirm the message
    EXPECT_TRUE(WaitUntil([&] { return !ShownWindowTitled(display, "ravelkin"); }, 10s));
    Tap(display, XK_Escape);  // close the dialog, which ends the program
    ASSERT_TRUE(ravelkin->WaitExit(&status, 10s));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
