// The whole program with its dialog: started in a folder of scripts on an X display with
// openbox, driven from the keyboard as a user would, "開始" pressed.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// clang-format on

#include <thread>

#include "examples/target_window/logo.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/x11/x_testing.h"

namespace {

using testing_support::BesideTests;
using testing_support::Process;
using testing_support::WaitUntil;
using x11_testing::PressKey;

// The UTF-8 title of the window the window manager has made active, as it announces it on the
// root window; empty while there is none.
std::string ActiveTitle(Display* display) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    Window active = 0;
    if (XGetWindowProperty(display, DefaultRootWindow(display),
                           XInternAtom(display, "_NET_ACTIVE_WINDOW", False), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && count == 1) {
        active = static_cast<Window>(*reinterpret_cast<long*>(data));
    }
    if (data) XFree(data);
    XTextProperty text{};
    std::string title;
    if (active &&
        XGetTextProperty(display, active, &text, XInternAtom(display, "_NET_WM_NAME", False)) &&
        text.value) {
        title.assign(reinterpret_cast<char*>(text.value), text.nitems);
    }
    if (text.value) XFree(text.value);
    return title;
}

void Tap(Display* display, KeySym sym) {
    PressKey(display, sym, true);
    PressKey(display, sym, false);
}

TEST(DialogRun, StartRunsTheTickedScriptsAndReportsSuccess) {
    const x11_testing::Connection user;
    Display* display = user.get();
    // Windows come and go while we look: an error about a vanished one is no failure here.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    auto target = Process::Start(BesideTests("ravelkin-target"), {"--position", "0,0"});
    std::string line;
    ASSERT_TRUE(target && target->ReadLine(&line) && line.starts_with("ready"));
    testing_support::TempDir dir;
    std::filesystem::create_directories(dir.path() / "Images");
    ASSERT_TRUE(target_logo::SaveLogo(dir.Path("Images/1.bmp").c_str()));
    dir.Write("click-logo.dat", "IMG_CLK_F 1,0,0,1024,768,95\n");

    auto ravelkin = Process::Start(BesideTests("ravelkin"), {}, dir.path());
    // Openbox makes the new dialog active; its focus starts on "終了" once the toolkit has
    // taken the focus in, which it tells no other client.
    ASSERT_TRUE(WaitUntil([&] { return ActiveTitle(display) == "Ravelkin"; }));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    // Tab to "順番に実行" (past "開始" and the script list), tick it, back to "開始", press it.
    for (int i = 0; i < 3; ++i) Tap(display, XK_Tab);
    Tap(display, XK_space);
    PressKey(display, XK_Shift_L, true);
    Tap(display, XK_Tab);
    Tap(display, XK_Tab);
    PressKey(display, XK_Shift_L, false);
    Tap(display, XK_space);

    EXPECT_TRUE(target->ReadLine(&line) && line == "click 1") << line;
    // The success message box: its caption is the program's file name.
    EXPECT_TRUE(WaitUntil([&] { return ActiveTitle(display) == "ravelkin"; }));
    Tap(display, XK_Return);  // confirm the message
    EXPECT_TRUE(WaitUntil([&] { return ActiveTitle(display) == "Ravelkin"; }));
    Tap(display, XK_Escape);  // close the dialog, which ends the program
    EXPECT_EQ(ravelkin->Finish(), 0);
}

}  // namespace
