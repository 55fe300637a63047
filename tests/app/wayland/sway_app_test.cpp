// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/virtual_keys.h"
#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wayland_desktop.h"
#include "tests/platform/wayland/sway_testing.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using platform::Point;
using platform::Rect;
using platform::wayland::SwayView;
using testing_support::WaitUntil;

std::filesystem::path BinDir() {
    return sway_testing::ProgramDir();
}

// A program of the build in the test's folder, its errors read with its output.
struct Child : sway_testing::Child {
    Child(const std::vector<std::string>& args, const std::filesystem::path& dir)
        : sway_testing::Child(args, dir.string(), true) {}
    int End(int signal = 0) { return sway_testing::Child::End(signal); }
};

std::string Text(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

// The program on sway, driven from outside by a desktop of the test's own.
struct SwaySession : testing::Test {
    void SetUp() override {
        setenv("NO_AT_BRIDGE", "1", 1);
        std::string error;
        const auto socket = platform::wayland::SwayIpc::SocketFromEnvironment();
        ASSERT_TRUE(socket);
        ipc = platform::wayland::SwayIpc::Open(*socket, error);
        ASSERT_TRUE(ipc) << error;
        auto opened = platform::wayland::WaylandDesktop::Open();
        ASSERT_TRUE(opened.desktop) << opened.error;
        desktop = std::move(opened.desktop);
        std::ofstream(dir.Path("t.dat")) << "";
        std::filesystem::create_directory(dir.path() / "Images");
    }
    // The window of process pid titled so, as sway lists it now.
    std::optional<SwayView> View(pid_t pid, const std::string& title) {
        for (const SwayView& v : ipc->Windows().value_or(std::vector<SwayView>{})) {
            if (v.pid == pid && v.title == title) return v;
        }
        return std::nullopt;
    }
    bool Shown(pid_t pid, const std::string& title) {
        const auto v = View(pid, title);
        return v && v->visible;
    }
    void Press(std::uint8_t vk) {
        desktop->PressKey(vk, true);
        desktop->PressKey(vk, false);
        desktop->Pause(80);
    }
    void Click(Point at) {
        desktop->MovePointer(at);
        desktop->PressButton(platform::Button::kLeft, true);
        desktop->PressButton(platform::Button::kLeft, false);
        desktop->Pause(50);
    }
    // The target window, its logo's top-left corner on the screen in logo.
    std::unique_ptr<Child> StartTarget(Point& logo) {
        auto target = std::make_unique<Child>(
            std::vector<std::string>{(BinDir() / "ravelkin-wayland-target").string(), "--position",
                                     "100,100"},
            dir.path());
        EXPECT_TRUE(WaitUntil([&] { return target->Says("ready"); }));
        const auto view = View(target->pid(), "Ravelkin Target");
        EXPECT_TRUE(view);
        if (view) logo = {view->rect.left + 16, view->rect.top + 16};
        return target;
    }
    int Run(const std::vector<std::string>& args, std::string* output = nullptr) {
        std::vector<std::string> line = {(BinDir() / "ravelkin").string()};
        line.insert(line.end(), args.begin(), args.end());
        Child run(line, dir.path());
        const int status = run.End();
        if (output) *output = run.Output();
        return status;
    }

    testing_support::TempDir dir;
    std::unique_ptr<platform::wayland::SwayIpc> ipc;
    std::unique_ptr<platform::Desktop> desktop;
};

// The dialog goes into sway's scratchpad while its script waits, and comes back where it was
// for the message; its picture is kept as dialog-sway.png in the build folder.
TEST_F(SwaySession, DialogIsOutOfViewWhileItsScriptRunsAndBackAfter) {
    std::ofstream(dir.Path("a.dat")) << "WAIT 2500\n";
    Child dialog({(BinDir() / "ravelkin").string()}, dir.path());
    ASSERT_TRUE(WaitUntil([&] { return Shown(dialog.pid(), "Ravelkin"); })) << dialog.Output();
    const Rect before = View(dialog.pid(), "Ravelkin")->rect;
    // "順番に実行" ticked and "開始" pressed, at the middle of each as the layout places them
    // in dialog units over the dialog's 254 x 269.
    const auto at = [&](double x, double y) {
        return Point{before.left + static_cast<int>(x * (before.right - before.left) / 254),
                     before.top + static_cast<int>(y * (before.bottom - before.top) / 269)};
    };
    desktop->Pause(500);
    Click(at(121 + 5, 221 + 5));
    Click(at(7 + 25, 248 + 7));
    EXPECT_TRUE(WaitUntil([&] { return !Shown(dialog.pid(), "Ravelkin"); },
                          std::chrono::milliseconds(1500)));
    ASSERT_TRUE(View(dialog.pid(), "Ravelkin")) << "the dialog went away";
    EXPECT_TRUE(WaitUntil([&] { return Shown(dialog.pid(), "ravelkin"); }));
    ASSERT_TRUE(View(dialog.pid(), "Ravelkin"));
    EXPECT_TRUE(View(dialog.pid(), "Ravelkin")->visible);
    EXPECT_EQ(Text(View(dialog.pid(), "Ravelkin")->rect), Text(before));
    Press(platform::vk::kReturn);
    EXPECT_TRUE(WaitUntil([&] { return !View(dialog.pid(), "ravelkin"); }));
    desktop->MovePointer({0, 0});
    desktop->Pause(300);
    const std::string picture = (BinDir().parent_path() / "dialog-sway.png").string();
    const std::string grim = "grim -g '" + std::to_string(before.left) + "," +
                             std::to_string(before.top) + " " +
                             std::to_string(before.right - before.left) + "x" +
                             std::to_string(before.bottom - before.top) + "' " + picture;
    EXPECT_EQ(std::system(grim.c_str()), 0) << grim;
    Press(platform::vk::kEscape);
    EXPECT_EQ(dialog.End(), 0) << dialog.Output();
}

// The line --spy keeps up to date at the end of its output, without the padding.
std::string LastSpyLine(Child& spy) {
    const std::string& out = spy.Output();
    const std::size_t start = out.rfind('\r');
    std::string line = out.substr(start == std::string::npos ? 0 : start + 1);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

// --spy follows the pointer that another client moves, over the target and off it, and says
// that its layer takes the clicks: they reach the target again once it has ended.
TEST_F(SwaySession, SpyFollowsThePointerAndHoldsTheClicksUntilItEnds) {
    Point logo;
    const auto target = StartTarget(logo);
    Child spy({(BinDir() / "ravelkin").string(), "--spy"}, dir.path());
    ASSERT_TRUE(WaitUntil([&] { return spy.Says("clicks reach no window\n"); })) << spy.Output();
    const Rect window = View(target->pid(), "Ravelkin Target")->rect;
    const Point on_logo{logo.x + 20, logo.y + 30};
    platform::Bitmap pixel;
    ASSERT_TRUE(desktop->CopyScreen(on_logo.x, on_logo.y, 1, 1, pixel));
    const std::uint8_t* bgr = std::as_const(pixel).TopRow();
    char colour[8];
    std::snprintf(colour, sizeof colour, "%02x%02x%02x", bgr[2], bgr[1], bgr[0]);
    const std::string over =
        "pointer " + std::to_string(on_logo.x) + "," + std::to_string(on_logo.y) + " #" + colour +
        "  window \"Ravelkin Target\" " + Text(window) + "  WIND_CLK clicks " +
        std::to_string((window.left + window.right) / 2) + "," + std::to_string(window.top + 2);
    desktop->MovePointer(on_logo);
    EXPECT_TRUE(WaitUntil([&] { return LastSpyLine(spy) == over; })) << LastSpyLine(spy);
    Click(on_logo);
    desktop->MovePointer({1000, 700});
    EXPECT_TRUE(WaitUntil([&] { return LastSpyLine(spy).starts_with("pointer 1000,700 #"); }))
        << LastSpyLine(spy);
    EXPECT_TRUE(LastSpyLine(spy).ends_with("  no window")) << LastSpyLine(spy);
    EXPECT_EQ(spy.End(SIGINT), 0);
    EXPECT_FALSE(target->Says("button")) << "a click went through the spy's layer";
    Click(on_logo);
    EXPECT_TRUE(WaitUntil([&] { return target->Says("click 1\n"); })) << target->Output();
}

// --capture's overlay on sway: the rectangle dragged over it is the template, and the line
// printed for it finds and clicks it.
TEST_F(SwaySession, CaptureTakesTheAreaDraggedOverItsOverlay) {
    Point logo;
    const auto target = StartTarget(logo);
    Child capture({(BinDir() / "ravelkin").string(), "--capture", "5"}, dir.path());
    ASSERT_TRUE(WaitUntil([&] {
        const auto v = View(capture.pid(), "Ravelkin");
        return v && v->visible && Text(v->rect) == "0,0,1024,768";
    })) << capture.Output();
    desktop->Pause(500);
    desktop->MovePointer(logo);
    desktop->PressButton(platform::Button::kLeft, true);
    desktop->MovePointer({logo.x + 30, logo.y + 30});
    desktop->MovePointer({logo.x + 64, logo.y + 64});
    desktop->Pause(100);
    desktop->PressButton(platform::Button::kLeft, false);
    ASSERT_EQ(capture.End(), 0) << capture.Output();
    const std::string out = capture.Output();
    std::smatch line;
    ASSERT_TRUE(std::regex_search(out, line, std::regex("IMG_CLK 5,[0-9,.]+"))) << out;
    // Its size in the BMP header: the dragged 64 x 64 pixels.
    std::ifstream bmp(dir.Path("Images/5.bmp"), std::ios::binary);
    std::string header(26, '\0');
    bmp.read(header.data(), 26);
    EXPECT_EQ(header.substr(18, 8), std::string("\x40\0\0\0\x40\0\0\0", 8));
    std::ofstream(dir.Path("t.dat")) << line.str() << "\n";
    EXPECT_EQ(Run({"--run", "t.dat"}), 0);
    EXPECT_TRUE(WaitUntil([&] { return target->Says("click 1\n"); })) << target->Output();
}

// A report of a run with a picture found and one missing: the failure is there and every
// picture it shows exists.
TEST_F(SwaySession, ReportShowsTheRunWithItsPictures) {
    Point logo;
    const auto target = StartTarget(logo);
    ASSERT_EQ(std::system(((BinDir() / "ravelkin-wayland-target").string() + " --save-logo " +
                           dir.Path("Images/1.bmp"))
                              .c_str()),
              0);
    std::ofstream(dir.Path("t.dat")) << "IMG_CLK 1,0,0,10000,10000,95\n"
                                        "CHK_IMG 9,0,0,10000,10000,95\n";
    std::string out;
    EXPECT_EQ(Run({"--run", "t.dat", "--report", "report"}, &out), 2) << out;
    EXPECT_TRUE(WaitUntil([&] { return target->Says("click 1\n"); }));
    std::ifstream file(dir.Path("report/index.html"));
    const std::string html(std::istreambuf_iterator<char>(file), {});
    EXPECT_NE(html.find("Can't find like"), std::string::npos);
    const std::regex source("<img[^>]* src=\"([^\"]+)\"");
    int pictures = 0;
    for (std::sregex_iterator it(html.begin(), html.end(), source), end; it != end; ++it) {
        ++pictures;
        std::error_code ec;
        EXPECT_GT(std::filesystem::file_size(dir.path() / "report" / (*it)[1].str(), ec), 0u)
            << (*it)[1];
    }
    EXPECT_EQ(pictures, 3);
}

}  // namespace
