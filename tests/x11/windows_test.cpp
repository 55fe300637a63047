// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <map>

#include "tests/x11/session.h"

namespace {

using namespace x11_testing;

// Japanese in COMPOUND_TEXT as xterm sets it: "日本語" in JIS X 0208, then " ok" in ASCII.
const char kCompoundJapanese[] = "\x1b$(BF|K\\8l\x1b(B ok";
const char kCompoundJapaneseUtf8[] = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e ok";

struct Found {
    platform::WindowHandle handle;
    std::string title;
    bool minimised;
    std::optional<platform::Rect> rect;
};

// Everything the backend enumerates, top first.
std::vector<Found> Enumerate(platform::Desktop& desktop) {
    std::vector<Found> found;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        found.push_back(
            {w, desktop.WindowTitle(w), desktop.IsWindowMinimised(w), desktop.WindowRect(w)});
        return true;
    });
    return found;
}

// The windows whose title is title.
std::vector<Found> WithTitle(const std::vector<Found>& all, const std::string& title) {
    std::vector<Found> matching;
    for (const Found& f : all) {
        if (f.title == title) matching.push_back(f);
    }
    return matching;
}

class X11Windows : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartSession(&s_, 800, 600, GetParam())); }
    bool managed() const { return GetParam(); }
    Display* d() const { return s_.display(); }

    Window Make(int x, int y, int w, int h) {
        const Window window =
            XCreateSimpleWindow(d(), DefaultRootWindow(d()), x, y, static_cast<unsigned>(w),
                                static_cast<unsigned>(h), 1, 0, 0xFFFFFF);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(d(), window, &hints);
        return window;
    }
    void SetProperty(Window window, const char* name, const char* type, const std::string& bytes) {
        XChangeProperty(d(), window, XInternAtom(d(), name, False), XInternAtom(d(), type, False),
                        8, PropModeReplace, reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
    }
    void MapAndWait(Window window) {
        XMapWindow(d(), window);
        XSync(d(), False);
        ASSERT_TRUE(WaitUntil([&] {
            XWindowAttributes a;
            return XGetWindowAttributes(d(), window, &a) && a.map_state == IsViewable;
        }));
    }
    // Where the window's inside is on the screen.
    platform::Rect ScreenRect(Window window) {
        XWindowAttributes a;
        XGetWindowAttributes(d(), window, &a);
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(d(), window, DefaultRootWindow(d()), 0, 0, &x, &y, &child);
        return {x, y, x + a.width, y + a.height};
    }

    Session s_;
};

TEST_P(X11Windows, TitlesInEveryEncodingAndOuterRectangles) {
    const std::string utf8_title =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x9c\x93 UTF-8";
    const struct {
        const char* property;
        const char* type;
        std::string bytes;
        std::string title;
    } cases[] = {
        {"_NET_WM_NAME", "UTF8_STRING", utf8_title, utf8_title},
        {"WM_NAME", "STRING", "Caf\xe9 Latin-1", "Caf\xc3\xa9 Latin-1"},
        {"WM_NAME", "COMPOUND_TEXT", kCompoundJapanese, kCompoundJapaneseUtf8},
        {"WM_NAME", "UTF8_STRING", "\xce\xbb utf8 wm_name", "\xce\xbb utf8 wm_name"},
    };
    std::vector<Window> windows;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int x = 40 + 150 * static_cast<int>(i);
        windows.push_back(Make(x, 60, 120, 90));
        SetProperty(windows.back(), cases[i].property, cases[i].type, cases[i].bytes);
        ASSERT_NO_FATAL_FAILURE(MapAndWait(windows.back()));
    }
    const auto all = Enumerate(*s_.desktop);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].title);
        const auto found = WithTitle(all, cases[i].title);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_TRUE(found[0].rect);
        EXPECT_FALSE(found[0].minimised);
        const platform::Rect r = *found[0].rect;
        const platform::Rect inside = ScreenRect(windows[i]);
        if (!managed()) {
            // No frame: the window with its one-pixel border, where it was created.
            const int x = 40 + 150 * static_cast<int>(i);
            EXPECT_EQ(r.left, x);
            EXPECT_EQ(r.top, 60);
            EXPECT_EQ(r.right, x + 122);
            EXPECT_EQ(r.bottom, 60 + 92);
        } else {
            // The frame around the window, title bar included.
            EXPECT_LE(r.left, inside.left);
            EXPECT_LT(r.top, inside.top);
            EXPECT_GE(r.right, inside.right);
            EXPECT_GE(r.bottom, inside.bottom);
        }
    }
}

TEST_P(X11Windows, TopOfTheStackComesFirst) {
    const Window lower = Make(50, 50, 100, 100);
    SetProperty(lower, "_NET_WM_NAME", "UTF8_STRING", "Stack A");
    ASSERT_NO_FATAL_FAILURE(MapAndWait(lower));
    const Window upper = Make(80, 80, 100, 100);
    SetProperty(upper, "_NET_WM_NAME", "UTF8_STRING", "Stack B");
    ASSERT_NO_FATAL_FAILURE(MapAndWait(upper));

    const auto order = [&] {
        std::vector<std::string> titles;
        for (const Found& f : Enumerate(*s_.desktop)) {
            if (f.title.rfind("Stack ", 0) == 0) titles.push_back(f.title);
        }
        return titles;
    };
    using Titles = std::vector<std::string>;
    EXPECT_TRUE(WaitUntil([&] { return order() == Titles{"Stack B", "Stack A"}; }));
    XRaiseWindow(d(), lower);
    XSync(d(), False);
    EXPECT_TRUE(WaitUntil([&] { return order() == Titles{"Stack A", "Stack B"}; }));
}

TEST_P(X11Windows, MinimisedAndUnmappedWindowsAreFound) {
    const Window normal = Make(20, 20, 100, 80);
    SetProperty(normal, "_NET_WM_NAME", "UTF8_STRING", "Shown");
    ASSERT_NO_FATAL_FAILURE(MapAndWait(normal));
    const Window iconic = Make(200, 20, 100, 80);
    SetProperty(iconic, "WM_NAME", "STRING", "Iconic");
    ASSERT_NO_FATAL_FAILURE(MapAndWait(iconic));
    const Window never_mapped = Make(400, 20, 100, 80);
    SetProperty(never_mapped, "WM_NAME", "STRING", "Never mapped");
    XSync(d(), False);

    const Atom wm_state = XInternAtom(d(), "WM_STATE", False);
    if (managed()) {
        XIconifyWindow(d(), iconic, DefaultScreen(d()));
    } else {
        // What a window manager would do: unmap and mark it iconic.
        XUnmapWindow(d(), iconic);
        const long state[2] = {IconicState, None};
        XChangeProperty(d(), iconic, wm_state, wm_state, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(state), 2);
    }
    XSync(d(), False);
    const auto minimised = [&](const char* title) {
        const auto found = WithTitle(Enumerate(*s_.desktop), title);
        return found.size() == 1 && found[0].minimised;
    };
    EXPECT_TRUE(WaitUntil([&] { return minimised("Iconic"); }));
    EXPECT_FALSE(minimised("Shown"));
    EXPECT_EQ(WithTitle(Enumerate(*s_.desktop), "Never mapped").size(), 1u);

    // _NET_WM_STATE_HIDDEN alone also counts, as pagers and some window managers set only it.
    const Window hidden = Make(20, 200, 100, 80);
    SetProperty(hidden, "_NET_WM_NAME", "UTF8_STRING", "Hidden");
    const Atom hidden_atom = XInternAtom(d(), "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(d(), hidden, XInternAtom(d(), "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&hidden_atom), 1);
    XSync(d(), False);
    EXPECT_TRUE(minimised("Hidden"));
}

TEST_P(X11Windows, AWindowThatVanishesDuringTheEnumerationIsGoneNotFatal) {
    std::vector<Window> doomed;
    for (int i = 0; i < 3; ++i) {
        doomed.push_back(Make(30 + 60 * i, 30, 50, 50));
        SetProperty(doomed.back(), "_NET_WM_NAME", "UTF8_STRING", "Doomed " + std::to_string(i));
        ASSERT_NO_FATAL_FAILURE(MapAndWait(doomed.back()));
    }
    int before = 0;
    s_.desktop->ForEachWindow([&](platform::WindowHandle) { return ++before, true; });

    // At the first window, every test window goes; the rest are then looked at regardless.
    std::vector<Found> after;
    s_.desktop->ForEachWindow([&](platform::WindowHandle w) {
        if (after.empty()) {
            for (const Window window : doomed) XDestroyWindow(d(), window);
            XSync(d(), False);
        }
        after.push_back({w, s_.desktop->WindowTitle(w), s_.desktop->IsWindowMinimised(w),
                         s_.desktop->WindowRect(w)});
        return true;
    });
    EXPECT_EQ(static_cast<int>(after.size()), before);
    for (const Found& f : after) EXPECT_EQ(f.title.rfind("Doomed", 0), std::string::npos);
    if (!managed()) {
        // Without frames the handles are the windows themselves, now gone.
        for (const Window window : doomed) {
            EXPECT_EQ(s_.desktop->WindowTitle(window), "");
            EXPECT_FALSE(s_.desktop->IsWindowMinimised(window));
            EXPECT_FALSE(s_.desktop->WindowRect(window));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManager, X11Windows, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Openbox" : "NoWM"; });

}  // namespace
