// SPDX-License-Identifier: GPL-3.0-or-later
// Loads arbitrary bytes as a script and runs it against the recording desktop: a small
// screen with a picture on it, pictures in Images/, and a few windows, so that every keyword
// reaches its handler.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <string_view>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

struct World {
    testing_support::TempDir dir;
    testing_support::FakeDesktop desktop{64, 48};
    std::unique_ptr<testing_support::ScopedCurrentDir> cwd;
    std::string script;

    World() {
        trace::SetOutput(nullptr);
        cv::Mat screen(48, 64, CV_8UC3);
        screen.forEach<cv::Vec3b>([](cv::Vec3b& p, const int* at) {
            p = cv::Vec3b(static_cast<std::uint8_t>(at[1] * 4),
                          static_cast<std::uint8_t>(at[0] * 5),
                          static_cast<std::uint8_t>((at[0] ^ at[1]) * 8));
        });
        desktop.SetScreen(64, 48, std::vector<std::uint8_t>(screen.datastart, screen.dataend));
        desktop.windows = {{"Notes - テキスト", false, platform::Rect{10, 10, 50, 40}},
                           {"Ravelkin Target", true, platform::Rect{-5, -5, 3, 3}},
                           {"vanished", false, std::nullopt}};
        // 1.bmp: an 8x8 cut of the screen; 2.bmp: grey; 3.bmp: larger than the screen.
        const auto images = dir.path() / "Images";
        std::filesystem::create_directories(images);
        cv::imwrite((images / "1.bmp").string(), screen(cv::Rect(4, 4, 8, 8)));
        cv::Mat grey(4, 4, CV_8UC1);
        grey.forEach<std::uint8_t>(
            [](std::uint8_t& p, const int* at) { p = static_cast<std::uint8_t>(at[1] * 60); });
        cv::imwrite((images / "2.bmp").string(), grey);
        cv::imwrite((images / "3.bmp").string(), cv::Mat(2, 80, CV_8UC3, cv::Scalar::all(7)));
        cwd = std::make_unique<testing_support::ScopedCurrentDir>(dir.path());
        script = (dir.path() / "fuzz.dat").string();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    world.dir.Write("fuzz.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    world.desktop.events.clear();
    CEvent_Maker engine(world.desktop);
    if (engine.Load(world.script.c_str())) engine.RunList();
    world.desktop.ReleaseHeldInput();
    return 0;
}
