// Before the X headers, whose macros (None, Bool) clash with names in it.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>

#include "engine/event_maker.h"
#include "tests/support/temp_dir.h"
#include "tests/x11/session.h"

namespace {

using namespace x11_testing;
using platform::x11::CaptureMethod;

class X11Capture : public ::testing::TestWithParam<CaptureMethod> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(StartSession(&s_, 640, 480, false, GetParam()));
    }
    Session s_;
};

TEST_P(X11Capture, CopiesEqualTheScreenAndAreBlackBeyondIt) {
    EXPECT_STREQ(s_.desktop->capture_method(),
                 GetParam() == CaptureMethod::kAuto ? "MIT-SHM" : "XGetImage");
    ShowPattern(s_.display());
    const struct {
        int left, top, width, height;
    } areas[] = {
        {0, 0, 640, 480},        {100, 50, 200, 100},      {-10, -20, 50, 40},
        {600, 450, 100, 100},    {1000, 0, 3000, 500},     {-5, -7, 651, 493},
        {INT_MAX - 4, 10, 4, 4}, {INT_MIN, INT_MIN, 3, 3}, {300, 200, 7, 3},
        {100, 50, 200, 100},  // the same size again: a reused buffer
    };
    for (const auto& a : areas) {
        SCOPED_TRACE(testing::Message()
                     << a.left << "," << a.top << " " << a.width << "x" << a.height);
        platform::Bitmap copy;
        ASSERT_TRUE(s_.desktop->CopyScreen(a.left, a.top, a.width, a.height, copy));
        ASSERT_EQ(copy.width, a.width);
        ASSERT_EQ(copy.height, a.height);
        EXPECT_EQ(Mismatches(copy, PatternOrBlack(a.left, a.top, 640, 480)), 0);
    }
    platform::Bitmap none;
    for (const auto& [w, h] : {std::pair{0, 10}, {10, 0}, {-1, 10}, {INT_MAX, INT_MAX}}) {
        EXPECT_FALSE(s_.desktop->CopyScreen(0, 0, w, h, none)) << w << "x" << h;
    }
}

// A copy still held keeps its pixels while later copies of a changed screen are made.
TEST_P(X11Capture, AHeldCopyKeepsItsPixels) {
    ShowPattern(s_.display());
    platform::Bitmap before;
    ASSERT_TRUE(s_.desktop->CopyScreen(0, 0, 640, 480, before));

    Display* d = s_.display();
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x123456;
    const Window cover =
        XCreateWindow(d, DefaultRootWindow(d), 0, 0, 640, 480, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(d, cover);
    XSync(d, False);
    for (int i = 0; i < 2; ++i) {  // twice: the second reuses what the first made
        platform::Bitmap after;
        ASSERT_TRUE(s_.desktop->CopyScreen(0, 0, 640, 480, after));
        EXPECT_EQ(Mismatches(after, [](int, int) { return Rgb{0x12, 0x34, 0x56}; }), 0);
    }
    EXPECT_EQ(Mismatches(before, PatternOrBlack(0, 0, 640, 480)), 0);
    XDestroyWindow(d, cover);
}

// The logo on the screen equals the picture the target saves, which scripts use as template.
TEST_P(X11Capture, TheTargetsLogoOnTheScreenEqualsItsSavedPicture) {
    testing_support::TempDir dir;
    const std::string bmp = (dir.path() / "1.bmp").string();
    ASSERT_TRUE(SaveLogo(bmp));
    std::ifstream in(bmp, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 54u + 64 * 64 * 3);

    std::string error;
    auto target = TargetWindow::Start(*s_.server, {"--position", "200,120"}, &error);
    ASSERT_TRUE(target) << error;
    platform::Bitmap copy;
    ASSERT_TRUE(s_.desktop->CopyScreen(216, 136, 64, 64, copy));
    EXPECT_EQ(Mismatches(copy,
                         [&](int x, int y) {
                             // Bottom row first in the file; blue, green, red.
                             const auto* p = reinterpret_cast<const std::uint8_t*>(file.data()) +
                                             54 + ((63 - y) * 64 + x) * 3;
                             return Rgb{p[2], p[1], p[0]};
                         }),
              0);
}

// Another client repaints a window over most of the screen without pause while we copy and
// search: every copy completes, at the size asked for.
TEST_P(X11Capture, CopiesCompleteWhileTheScreenKeepsChanging) {
    const Churn painter(*s_.server, [](Display* d, unsigned long n) {
        static Window window = 0;
        static GC gc = nullptr;
        if (!window) {
            XSetWindowAttributes attributes{};
            attributes.override_redirect = True;
            window = XCreateWindow(d, DefaultRootWindow(d), 10, 10, 600, 440, 0, CopyFromParent,
                                   InputOutput, CopyFromParent, CWOverrideRedirect, &attributes);
            XMapRaised(d, window);
            gc = XCreateGC(d, window, 0, nullptr);
        }
        XSetForeground(d, gc, n * 0x10305 & 0xFFFFFF);
        XFillRectangle(d, window, gc, 0, static_cast<int>(n % 40), 600, 400);
    });
    ASSERT_TRUE(painter.started());

    testing_support::TempDir dir;
    const std::string logo = (dir.path() / "1.bmp").string();
    ASSERT_TRUE(SaveLogo(logo));
    ScopedInstall use(s_.desktop.get());
    CEvent_Maker engine;
    const struct {
        int left, top, width, height;
    } areas[] = {{0, 0, 640, 480}, {-20, 100, 300, 200}, {500, 400, 300, 200}};
    int failures = 0;
    for (int i = 0; i < 60; ++i) {
        const auto& a = areas[i % std::size(areas)];
        platform::Bitmap copy;
        const bool copied = s_.desktop->CopyScreen(a.left, a.top, a.width, a.height, copy) &&
                            copy.width == a.width && copy.height == a.height;
        int x = 0;
        int y = 0;
        double score = -1;
        const bool searched = engine.FindImage(
            &x, &y, &score, {a.left, a.top, a.left + a.width, a.top + a.height}, logo.c_str());
        if ((!copied || !searched || score < 0 || score > 1.0001) && ++failures <= 3) {
            ADD_FAILURE() << "copy " << i << ": copied " << copied << ", score " << score;
        }
    }
    EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Methods, X11Capture,
                         ::testing::Values(CaptureMethod::kAuto, CaptureMethod::kGetImage),
                         [](const auto& info) {
                             return info.param == CaptureMethod::kAuto ? "Shm" : "GetImage";
                         });

}  // namespace
