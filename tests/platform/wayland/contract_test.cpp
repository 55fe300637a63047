// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop contract over a Wayland backend on a 640x480 headless compositor (sway, or KWin
// where RAVELKIN_KWIN_CONTRACT is defined): the screen is a window of the test pattern at 0,0
// that logs the pointer and keys it receives, which is how the world sees where the pointer
// is and which keys are down.
#include "tests/support/desktop_contract.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/wayland_desktop.h"
#ifdef RAVELKIN_KWIN_CONTRACT
#include "platform/wayland/kwin/kwin_desktop.h"
#endif
#ifdef RAVELKIN_GNOME_CONTRACT
#include "platform/wayland/gnome/gnome_desktop.h"
#endif
#include "tests/platform/wayland/sway_testing.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using sway_testing::Child;
using namespace std::chrono_literals;

std::unique_ptr<Child> StartTarget(std::vector<std::string> args) {
    args.insert(args.begin(), sway_testing::ProgramDir() + "/ravelkin-wayland-target");
    auto target = std::make_unique<Child>(args);
    EXPECT_TRUE(testing_support::WaitUntil([&] {
        return ("\n" + target->Output()).find("\nready") != std::string::npos;
    })) << "the target did not come up: "
        << target->Output();
    return target;
}

// The last state the target's log gives for an event: the words after the key, of the last
// line that starts with it.
std::string LastSaid(const std::string& log, const std::string& key) {
    const std::size_t at = log.rfind("\n" + key + " ");
    if (at == std::string::npos) return {};
    const std::size_t from = at + key.size() + 2;
    return log.substr(from, log.find('\n', from) - from);
}

// What differs between the compositors: the backend, and how the user holds the stop key.
struct Sway {
    static std::unique_ptr<platform::Desktop> Open() {
        platform::wayland::OpenResult opened = platform::wayland::WaylandDesktop::Open();
        EXPECT_TRUE(opened.desktop) << opened.error;
        return std::move(opened.desktop);
    }
    // The user holds right CTRL with a keyboard of their own; sway tells the binding's
    // subscribers, the backend among them.
    static std::shared_ptr<void> HoldStopKey(platform::Desktop&) {
        std::string error;
        auto events = platform::wayland::SwayIpc::Open(
            *platform::wayland::SwayIpc::SocketFromEnvironment(), error);
        EXPECT_TRUE(events && events->Subscribe(R"(["binding"])")) << error;
        if (!events) return nullptr;
        auto holder = std::make_unique<Child>(
            std::vector<std::string>{"wtype", "-P", "Control_R", "-s", "20000"});
        EXPECT_TRUE(testing_support::WaitUntil([&] {
            const auto got = events->TakeEvents();
            return got && !got->empty();
        })) << "sway reported no binding";
        return std::shared_ptr<Child>(holder.release(), [](Child* c) {
            c->End(SIGKILL);
            delete c;
        });
    }
};

#ifdef RAVELKIN_KWIN_CONTRACT
struct KWin {
    static std::unique_ptr<platform::Desktop> Open() {
        platform::wayland::kwin::OpenResult opened = platform::wayland::kwin::KWinDesktop::Open();
        EXPECT_TRUE(opened.desktop) << opened.error;
        return std::move(opened.desktop);
    }
    // KWin shows no client right CTRL alone: the user holds the stop chord with a keyboard of
    // their own, another client of fake input, and KGlobalAccel tells the backend.
    static std::shared_ptr<void> HoldStopKey(platform::Desktop& watched) {
        std::shared_ptr<platform::Desktop> keyboard = Open();
        if (!keyboard) return nullptr;
        for (const std::uint8_t vk : {platform::vk::kControl, platform::vk::kMenu, kEnd}) {
            keyboard->PressKey(vk, true);
        }
        EXPECT_TRUE(testing_support::WaitUntil([&] {
            return watched.IsKeyDown(platform::vk::kRControl);
        })) << "KGlobalAccel reported no press of the stop chord";
        return keyboard;
    }
    static constexpr std::uint8_t kEnd = 0x23;
};
#endif

#ifdef RAVELKIN_GNOME_CONTRACT
// GNOME places windows itself: the pattern fills the monitor. The portal's dialog shows over
// it, and ravelkin-consent-user answers it.
struct Gnome {
    static std::unique_ptr<platform::Desktop> Open() {
        platform::wayland::gnome::OpenResult opened =
            platform::wayland::gnome::GnomeDesktop::Open();
        EXPECT_TRUE(opened.desktop) << opened.error;
        return std::move(opened.desktop);
    }
    static std::shared_ptr<void> HoldStopKey(platform::Desktop&) {
        ADD_FAILURE() << "no stop chord without the GNOME Shell extension";
        return nullptr;
    }
};
#endif

// How each compositor puts the pattern at the screen's corner.
template <class Compositor>
struct Placing {
    static std::vector<std::string> Place() { return {"--position", "0,0"}; }
};
#ifdef RAVELKIN_GNOME_CONTRACT
template <>
struct Placing<Gnome> {
    static std::vector<std::string> Place() { return {"--fullscreen"}; }
};
#endif

template <class Compositor>
class WaylandWorld {
  public:
    WaylandWorld() {
        const std::string picture = dir_.Path("pattern.ppm");
        std::ofstream ppm(picture, std::ios::binary);
        ppm << "P6 " << testing_support::kContractWidth << " " << testing_support::kContractHeight
            << " 255\n";
        for (int y = 0; y < testing_support::kContractHeight; ++y) {
            for (int x = 0; x < testing_support::kContractWidth; ++x) {
                const testing_support::Rgb c = testing_support::PatternPixel(x, y);
                ppm << c.r << c.g << c.b;
            }
        }
        ppm.close();
        std::vector<std::string> args = {"--picture", picture, "--title", "pattern"};
        for (const std::string& arg : Placing<Compositor>::Place()) args.push_back(arg);
        screen_ = StartTarget(args);
        desktop_ = Compositor::Open();
        if (!desktop_) return;
        desktop_->WatchStopKey(true);  // as for a job
        // The pointer at a known place first, seen there by the pattern: where sway starts it
        // is its own choice, and a move to where it already is reports nothing.
        desktop_->MovePointer({7, 5});
        EXPECT_TRUE(testing_support::WaitUntil([&] {
            const std::string& log = screen_->Output();
            return log.find("motion 7 5\n") != std::string::npos ||
                   log.find("pointer-enter 7 5\n") != std::string::npos;
        })) << screen_->Output();
        Pointer();
    }

    platform::Desktop& desktop() { return *desktop_; }
    void ShowPattern() {}
    // The user holds the key until the world ends.
    void UserHolds(std::uint8_t vk) {
        ASSERT_EQ(vk, platform::vk::kRControl);
        holder_ = Compositor::HoldStopKey(*desktop_);
    }
    bool KeyHeld(std::uint8_t vk) {
        const char* name = vk == platform::vk::kControl ? "Control_L"
                           : vk == 'A'                  ? "a"
                           : vk == 'B'                  ? "b"
                                                        : "?";
        return LastSaid(Settled(), "key " + std::string(name)) == "pressed";
    }
    bool LeftHeld() { return LastSaid(Settled(), "button 272") == "pressed"; }
    // Where the pointer entered or last moved over the pattern: a new report once it moves.
    platform::Point Pointer() {
        const auto reports = [&] {
            const std::string& log = screen_->Output();
            std::size_t count = 0;
            for (std::size_t at = 0; (at = log.find("\nmotion ", at)) != std::string::npos; ++at) {
                ++count;
            }
            return count + (log.find("\npointer-enter ") != std::string::npos);
        };
        testing_support::WaitUntil([&] { return reports() > seen_reports_; }, 500ms);
        seen_reports_ = reports();
        const std::string& log = screen_->Output();
        std::string last = LastSaid(log, "motion");
        if (last.empty() || log.rfind("\npointer-enter ") > log.rfind("\nmotion ")) {
            last = LastSaid(log, "pointer-enter");
        }
        platform::Point at{-1, -1};
        std::istringstream(last) >> at.x >> at.y;
        return at;
    }
    bool OpenWindow(const std::string& title, platform::Rect rect, testing_support::Shown shown) {
        if (shown != testing_support::Shown::kShown) return false;
        windows_.push_back(StartTarget(
            {"--title", title, "--size",
             std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top),
             "--position", std::to_string(rect.left) + "," + std::to_string(rect.top)}));
        return true;
    }

  private:
    // The pattern window's log once it has stopped growing: our events have all arrived.
    const std::string& Settled() {
        std::size_t size = 0;
        testing_support::WaitUntil([&] {
            const std::size_t now = screen_->Output().size();
            const bool still = now == size;
            size = now;
            std::this_thread::sleep_for(40ms);
            return still;
        });
        return screen_->Output();
    }

    testing_support::TempDir dir_;
    std::unique_ptr<Child> screen_;
    std::unique_ptr<platform::Desktop> desktop_;
    std::vector<std::unique_ptr<Child>> windows_;
    std::shared_ptr<void> holder_;  // the user's keyboard, holding the stop key
    std::size_t seen_reports_ = 0;
};

}  // namespace

namespace testing_support {
#if defined(RAVELKIN_KWIN_CONTRACT)
INSTANTIATE_TYPED_TEST_SUITE_P(KWin, DesktopContract, WaylandWorld<KWin>);
#elif defined(RAVELKIN_GNOME_CONTRACT)
INSTANTIATE_TYPED_TEST_SUITE_P(Gnome, DesktopContract, WaylandWorld<Gnome>);
#else
INSTANTIATE_TYPED_TEST_SUITE_P(Sway, DesktopContract, WaylandWorld<Sway>);
#endif
}  // namespace testing_support
