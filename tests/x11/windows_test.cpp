// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <utility>

#include "engine/event_maker.h"
#include "tests/support/process.h"
#include "tests/x11/x_testing.h"
#include "vision/find_window.h"

namespace {

using namespace x11_testing;
using testing_support::WaitUntil;
using namespace std::chrono_literals;

struct Found {
    std::string title;
    bool minimised;
    std::optional<platform::Rect> rect;
};

// What the backend sees of every window, top first; before_each runs as each one is reached.
std::vector<Found> Enumerate(platform::Desktop& desktop,
                             const std::function<void()>& before_each = {}) {
    std::vector<Found> found;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        if (before_each) before_each();
        found.push_back(
            {desktop.WindowTitle(w), desktop.IsWindowMinimised(w), desktop.WindowRect(w)});
        return true;
    });
    return found;
}

std::vector<Found> WithTitle(const std::vector<Found>& all, const std::string& title) {
    std::vector<Found> matching;
    for (const Found& f : all) {
        if (f.title == title) matching.push_back(f);
    }
    return matching;
}

// Another client that keeps changing the desktop: a child process, on its own connection,
// that calls step(display, n) for n = 0, 1, 2, ... until this goes.
class Churn {
  public:
    // Returns once the child has made its first steps; false from started() if it did not.
    explicit Churn(const std::function<void(Display*, unsigned long)>& step) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            Display* display = XOpenDisplay(nullptr);
            if (!display) _exit(1);
            for (unsigned long n = 0;; ++n) {
                step(display, n);
                // A round trip and a breath each step: a client that floods the server slows
                // every other client down, which is not what the tests look at.
                XSync(display, False);
                usleep(1000);
                if (n == 31 && write(ready[1], "r", 1) != 1) _exit(1);
            }
        }
        close(ready[1]);
        pollfd fd{ready[0], POLLIN, 0};
        char byte = 0;
        started_ = pid_ > 0 && poll(&fd, 1, 10'000) == 1 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~Churn() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool started() const { return started_; }

  private:
    pid_t pid_ = -1;
    bool started_ = false;
};

// Run without and with a window manager (RAVELKIN_TEST_WM): with one, the handles are frames
// around the windows, and titles and states must be read from the client inside.
class X11Windows : public ::testing::Test {
  protected:
    bool managed() const { return Managed(); }
    Display* d() const { return connection_.get(); }

    // A window with a one-pixel border and a title property of the given type, mapped unless
    // map is false; waits until it is on the screen.
    Window Open(int x, int y, const char* property, const char* type, const std::string& title,
                bool map = true) {
        const Window w = XCreateSimpleWindow(d(), DefaultRootWindow(d()), x, y, 120, 90, 1, 0, 0);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(d(), w, &hints);
        XChangeProperty(d(), w, XInternAtom(d(), property, False), XInternAtom(d(), type, False), 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        if (map) XMapWindow(d(), w);
        XSync(d(), False);
        EXPECT_TRUE(!map || WaitUntil([&] {
            XWindowAttributes a;
            return XGetWindowAttributes(d(), w, &a) && a.map_state == IsViewable;
        }));
        return w;
    }
    Window Open(int x, int y, const std::string& title) {
        return Open(x, y, "_NET_WM_NAME", "UTF8_STRING", title);
    }

    Connection connection_;
    std::unique_ptr<platform::x11::X11Desktop> desktop_ = OpenBackend();
};

TEST_F(X11Windows, TitlesInEveryEncodingAndOuterRectangles) {
    const std::string utf8 =
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x9c\x93";
    const struct {
        const char* property;
        const char* type;
        std::string bytes;
        std::string title;
    } cases[] = {
        {"_NET_WM_NAME", "UTF8_STRING", utf8, utf8},
        {"WM_NAME", "STRING", "Caf\xe9 Latin-1", "Caf\xc3\xa9 Latin-1"},
        // As xterm sets a Japanese title: JIS X 0208 for the kanji, then ASCII.
        {"WM_NAME", "COMPOUND_TEXT", "\x1b$(BF|K\\8l\x1b(B ok",
         "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e ok"},
        {"WM_NAME", "UTF8_STRING", "\xce\xbb wm_name", "\xce\xbb wm_name"},
    };
    std::vector<Window> windows;
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        windows.push_back(Open(40 + 150 * i, 60, cases[i].property, cases[i].type, cases[i].bytes));
    }
    const auto all = Enumerate(*desktop_);
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
        SCOPED_TRACE(cases[i].title);
        const auto found = WithTitle(all, cases[i].title);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_TRUE(found[0].rect);
        EXPECT_FALSE(found[0].minimised);
        const platform::Rect r = *found[0].rect;
        if (!managed()) {
            // No frame: the window with its border, where it was created.
            EXPECT_EQ(r.left, 40 + 150 * i);
            EXPECT_EQ(r.top, 60);
            EXPECT_EQ(r.right, 40 + 150 * i + 122);
            EXPECT_EQ(r.bottom, 60 + 92);
            continue;
        }
        // The frame around the window, its title bar above it.
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(d(), windows[i], DefaultRootWindow(d()), 0, 0, &x, &y, &child);
        EXPECT_LE(r.left, x);
        EXPECT_LT(r.top, y);
        EXPECT_GE(r.right, x + 120);
        EXPECT_GE(r.bottom, y + 90);
    }
}

TEST_F(X11Windows, TopOfTheStackComesFirst) {
    const Window lower = Open(50, 50, "Stack A");
    Open(80, 80, "Stack B");
    const auto order = [&] {
        std::vector<std::string> titles;
        for (const Found& f : Enumerate(*desktop_)) {
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

TEST_F(X11Windows, MinimisedAndUnmappedWindowsAreFound) {
    Open(20, 20, "Shown");
    const Window iconic = Open(200, 20, "WM_NAME", "STRING", "Iconic");
    Open(400, 20, "WM_NAME", "STRING", "Never mapped", false);
    if (managed()) {
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
    const Window hidden = Open(20, 200, "_NET_WM_NAME", "UTF8_STRING", "Hidden", false);
    const Atom hidden_atom = XInternAtom(d(), "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(d(), hidden, XInternAtom(d(), "_NET_WM_STATE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&hidden_atom), 1);
    XSync(d(), False);

    const auto minimised = [&](const char* title) {
        const auto found = WithTitle(Enumerate(*desktop_), title);
        return found.size() == 1 && found[0].minimised;
    };
    EXPECT_TRUE(WaitUntil([&] { return minimised("Iconic"); }));
    EXPECT_TRUE(minimised("Hidden"));
    EXPECT_FALSE(minimised("Shown"));
    EXPECT_EQ(WithTitle(Enumerate(*desktop_), "Never mapped").size(), 1u);
}

TEST_F(X11Windows, AWindowThatVanishesDuringTheEnumerationIsGoneNotFatal) {
    std::vector<Window> doomed;
    for (int i = 0; i < 3; ++i) doomed.push_back(Open(30 + 60 * i, 30, "Doomed"));
    int before = 0;
    desktop_->ForEachWindow([&](platform::WindowHandle) { return ++before, true; });

    // At the first window, every test window goes; the rest are looked at all the same.
    bool first = true;
    const auto after = Enumerate(*desktop_, [&] {
        if (!std::exchange(first, false)) return;
        for (const Window window : doomed) XDestroyWindow(d(), window);
        XSync(d(), False);
    });
    EXPECT_EQ(static_cast<int>(after.size()), before);
    EXPECT_TRUE(WithTitle(after, "Doomed").empty());
    if (!managed()) {
        // Without frames the handles are the windows themselves, now gone.
        for (const Window w : doomed) {
            EXPECT_EQ(desktop_->WindowTitle(w), "");
            EXPECT_FALSE(desktop_->IsWindowMinimised(w));
            EXPECT_FALSE(desktop_->WindowRect(w));
        }
    }
}

// Another client opens, renames and closes windows without pause while scripts look for
// windows: no X error ends the program, and a window that stays is found every time.
TEST_F(X11Windows, LookupsStayRightWhileWindowsComeAndGo) {
    Open(300, 300, "Steady window");
    const Churn churn([](Display* d, unsigned long n) {
        static Window ring[8] = {};
        Window& slot = ring[n % 8];
        if (slot) XDestroyWindow(d, slot);
        slot = XCreateSimpleWindow(d, DefaultRootWindow(d), static_cast<int>(n * 37 % 600),
                                   static_cast<int>(n * 53 % 400), 60, 40, 0, 0, 0);
        XStoreName(d, slot, "Churn");
        XMapWindow(d, slot);
        XStoreName(d, ring[(n + 4) % 8] ? ring[(n + 4) % 8] : slot, "Churn renamed");
    });
    ASSERT_TRUE(churn.started());

    // Where the window is, as the window commands see it.
    const auto where = [&] {
        const auto found = vision::FindWindowByTitle(*desktop_, "Steady window");
        const platform::Rect r = found ? found->rect : platform::Rect{-1, -1, -1, -1};
        return std::array{r.left, r.top, r.right, r.bottom};
    };
    const auto first = where();
    ASSERT_NE(first[0], -1);
    CEvent_Maker engine(*desktop_);
    int misses = 0;
    // Bounded in time too: with a window manager every window is a frame to look into, and
    // the server is busy with the other client.
    const auto deadline = std::chrono::steady_clock::now() + 4s;
    int i = 0;
    for (; i < 150 && std::chrono::steady_clock::now() < deadline; ++i) {
        const bool same = where() == first;
        const bool checks = engine.Execute("WIND Steady window") == 1 &&
                            engine.Execute("CHK_WIND Steady window") == 0 &&
                            engine.Execute("CHK_NOWIND Nowhere at all") == 0;
        if ((!same || !checks) && ++misses <= 3) ADD_FAILURE() << "lookup " << i;
    }
    EXPECT_EQ(misses, 0) << engine.m_error;
    EXPECT_GE(i, 5);
}

}  // namespace
