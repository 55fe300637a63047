// The whole program with its dialog: started in a folder of scripts on a private X server
// with openbox, driven from the keyboard as a user would, "開始" pressed.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <sys/wait.h>

#include <string>
#include <thread>

#include "tests/support/temp_dir.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;

// A window on the screen (a viewable child of the root, or a client inside such a frame)
// whose UTF-8 title is exactly title. Toolkits keep unmapped windows with the program's name
// around, which do not count.
bool ShownWindowTitled(Display* display, const std::string& title) {
    const auto titled = [&](Window w) {
        return ReadProperty(display, w, "_NET_WM_NAME") == std::optional<std::string>(title);
    };
    // The children of w; none when it has gone.
    const auto children = [&](Window w) {
        Window root = 0, parent = 0;
        Window* list = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(display, w, &root, &parent, &list, &count) && list) {
            result.assign(list, list + count);
        }
        if (list) XFree(list);
        return result;
    };
    // Windows come and go while we look: an error about a vanished one is no failure here.
    XSync(display, False);
    const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    bool found = false;
    for (const Window top : children(DefaultRootWindow(display))) {
        XWindowAttributes a{};
        if (found || !XGetWindowAttributes(display, top, &a) || a.map_state != IsViewable) continue;
        found = titled(top);
        for (const Window inner : children(top)) found = found || titled(inner);
    }
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
    ASSERT_TRUE(SaveLogo((dir.path() / "Images/1.bmp").string()));
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

    const auto clicks = [&] { return target->Clicks(display); };
    EXPECT_TRUE(WaitUntil([&] { return clicks() == 1; }, 20s)) << clicks();
    // The success message box: its caption is the program's file name.
    EXPECT_TRUE(WaitUntil([&] { return ShownWindowTitled(display, "ravelkin"); }, 20s));

    Tap(display, XK_Return);  // confirm the message
    EXPECT_TRUE(WaitUntil([&] { return !ShownWindowTitled(display, "ravelkin"); }, 10s));
    Tap(display, XK_Escape);  // close the dialog, which ends the program
    int status = -1;
    ASSERT_TRUE(ravelkin->WaitExit(&status, 10s));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
