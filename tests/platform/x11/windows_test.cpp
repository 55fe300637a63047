// SPDX-License-Identifier: GPL-3.0-or-later
// Window lookup on a real server, without and with a window manager (RAVELKIN_TEST_DISPLAY):
// with one, the handles are frames around the windows, and titles and states must be read
// from the client inside.

// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <functional>

#include "tests/platform/x11/x_testing.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/wait_until.h"
#include "windows/find_window.h"

namespace {

using namespace x11_testing;

using Found = testing_support::FakeWindow;

class X11Windows : public ::testing::Test {
  protected:
    Display* d() const { return user_.get(); }

    // A 120 x 90 window with a one-pixel border and a title property of the given type,
    // mapped unless map is false; waits until it is on the screen.
    Window Open(int x, int y, const std::string& title, const char* property = "_NET_WM_NAME",
                const char* type = "UTF8_STRING", bool map = true) {
        const Window w = XCreateSimpleWindow(d(), DefaultRootWindow(d()), x, y, 120, 90, 1, 0, 0);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(d(), w, &hints);
        XChangeProperty(d(), w, XInternAtom(d(), property, False), XInternAtom(d(), type, False), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        if (map) XMapWindow(d(), w);
        XSync(d(), False);
        EXPECT_TRUE(!map || testing_support::WaitUntil([&] {
            XWindowAttributes a;
            return XGetWindowAttributes(d(), w, &a) && a.map_state == IsViewable;
        }));
        return w;
    }

    // What the backend sees of every window, top first; before_each runs as each is reached.
    std::vector<Found> Seen(const std::function<void()>& before_each = [] {}) {
        std::vector<Found> found;
        desktop_->ForEachWindow([&](platform::WindowHandle w) {
            before_each();
            found.push_back({desktop_->WindowTitle(w), desktop_->IsWindowMinimised(w),
                             desktop_->WindowRect(w)});
            return true;
        });
        return found;
    }
    std::vector<Found> Titled(const std::string& title) {
        std::vector<Found> all = Seen();
        std::erase_if(all, [&](const Found& f) { return f.title != title; });
        return all;
    }

    Connection user_;
    std::unique_ptr<platform::x11::X11Desktop> desktop_ = OpenBackend();
};

TEST_F(X11Windows, TitlesInEveryEncodingAndOuterRectangles) {
    const struct {
        const char *property, *type;
        std::string bytes, title;
    } cases[] = {
        {"_NET_WM_NAME", "UTF8_STRING", "Grüße ✓", "Grüße ✓"},
        {"WM_NAME", "STRING", "Caf\xe9 Latin-1", "Café Latin-1"},
        // As xterm sets a Japanese title: JIS X 0208 for the kanji, then ASCII.
        {"WM_NAME", "COMPOUND_TEXT", "\x1b$(BF|K\\8l\x1b(B ok", "日本語 ok"},
        {"WM_NAME", "UTF8_STRING", "λ wm_name", "λ wm_name"},
    };
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        const auto& c = cases[i];
        const Window window = Open(40 + 150 * i, 60, c.bytes, c.property, c.type);
        const auto found = Titled(c.title);
        ASSERT_EQ(found.size(), 1u) << c.title;
        ASSERT_TRUE(found[0].rect);
        EXPECT_FALSE(found[0].minimised);
        // Where the window itself lies, border included: the outer rectangle holds it, with
        // the title bar of the frame above it when a window manager has framed it.
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(d(), window, DefaultRootWindow(d()), -1, -1, &x, &y, &child);
        const platform::Rect r = *found[0].rect;
        EXPECT_TRUE(Managed()
                        ? r.left <= x && r.top < y && r.right >= x + 122 && r.bottom >= y + 92
                        : r.left == x && r.top == y && r.right == x + 122 && r.bottom == y + 92)
            << c.title;
    }
}

TEST_F(X11Windows, TopOfTheStackComesFirst) {
    const Window lower = Open(50, 50, "Stack A");
    Open(80, 80, "Stack B");
    const auto order = [&] {
        std::string titles;
        for (const Found& f : Seen()) titles += f.title.starts_with("Stack ") ? f.title : "";
        return titles;
    };
    EXPECT_TRUE(testing_support::WaitUntil([&] { return order() == "Stack BStack A"; }));
    XRaiseWindow(d(), lower);
    XSync(d(), False);
    EXPECT_TRUE(testing_support::WaitUntil([&] { return order() == "Stack AStack B"; }));
}

TEST_F(X11Windows, MinimisedAndUnmappedWindowsAreFound) {
    Open(20, 20, "Shown");
    const Window iconic = Open(200, 20, "Iconic", "WM_NAME", "STRING");
    Open(400, 20, "Never mapped", "WM_NAME", "STRING", false);
    if (Managed()) {
        XIconifyWindow(d(), iconic, DefaultScreen(d()));
    } else {
        // What a window manager would do: unmap it and mark it iconic.
        XUnmapWindow(d(), iconic);
        const Atom wm_state = XInternAtom(d(), "WM_STATE", False);
        const long state[2] = {IconicState, None};
        XChangeProperty(d(), iconic, wm_state, wm_state, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
    }
    // _NET_WM_STATE_HIDDEN alone counts too: some window managers set only that.
    const Window hidden = Open(20, 200, "Hidden", "_NET_WM_NAME", "UTF8_STRING", false);
    const Atom hidden_atom = XInternAtom(d(), "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(d(), hidden, XInternAtom(d(), "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&hidden_atom), 1);
    XSync(d(), False);
    const auto minimised = [&](const char* title) {
        const auto found = Titled(title);
        return found.size() == 1 && found[0].minimised;
    };
    EXPECT_TRUE(testing_support::WaitUntil([&] { return minimised("Iconic"); }));
    EXPECT_TRUE(minimised("Hidden"));
    EXPECT_FALSE(minimised("Shown"));
    EXPECT_EQ(Titled("Never mapped").size(), 1u);
}

TEST_F(X11Windows, AWindowThatVanishesDuringTheEnumerationIsGoneNotFatal) {
    std::vector<Window> doomed;
    for (int i = 0; i < 3; ++i) doomed.push_back(Open(30 + 60 * i, 30, "Doomed"));
    const std::size_t before = Seen().size();
    // At the first window, every test window goes; the rest are looked at all the same.
    const auto after = Seen([&] {
        for (const Window window : std::exchange(doomed, {})) XDestroyWindow(d(), window);
        XSync(d(), False);
    });
    EXPECT_EQ(after.size(), before);
    for (const Found& f : after) EXPECT_NE(f.title, "Doomed");
}

// The requests about all windows go out together: a lookup among ten windows waits for the
// server no more often than one among one, and asks a few things of each window, not of each
// part of a window manager's frame (openbox makes some fifty).
TEST_F(X11Windows, ALookupsRoundTripsDoNotGrowWithTheWindows) {
    const auto lookup = [&] {
        const Sent before = SentSoFar();
        EXPECT_TRUE(windows::FindWindowByTitle(*desktop_, "Many 0"));
        return Sent{SentSoFar().flushes - before.flushes, SentSoFar().bytes - before.bytes};
    };
    Open(10, 10, "Many 0");
    lookup();  // Xlib learns the atoms of its text conversion once
    const Sent one = lookup();
    for (int i = 1; i < 10; ++i) Open(10 + 40 * i, 10, "Many " + std::to_string(i));
    const Sent ten = lookup();
    EXPECT_EQ(ten.flushes, one.flushes);
    EXPECT_LE(one.flushes, 6);
    EXPECT_LT((ten.bytes - one.bytes) / 9, 256);
}

}  // namespace
