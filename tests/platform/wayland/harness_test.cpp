// SPDX-License-Identifier: GPL-3.0-or-later
// The test harness itself, independent of the backend: the sway of scripts/lib/with-sway has
// the outputs RAVELKIN_TEST_SWAY asks for, ravelkin-wayland-target shows its logo at the exact
// place asked for on each of them (seen through grim), the very logo it saves for scripts. Its
// log of the events it gets is checked by the end-to-end typing and the desktop contract.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "examples/target_window/logo.h"
#include "tests/platform/wayland/sway_testing.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using sway_testing::Child;
using sway_testing::ProgramDir;

struct Target {
    Child process;
    bool ready = false;
    Target(int x, int y)
        : process({ProgramDir() + "/ravelkin-wayland-target", "--position",
                   std::to_string(x) + "," + std::to_string(y)}) {
        ready =
            testing_support::WaitUntil([&] { return process.Output().starts_with("ready 0x"); });
    }
};

struct Picture {
    int width = 0, height = 0;
    std::string rgb;
    target_logo::Rgb At(int x, int y) const {
        const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + 3 * (y * width + x);
        return {p[0], p[1], p[2]};
    }
};

// The whole layout as grim sees it (binary PPM).
Picture Screenshot() {
    Picture picture;
    const std::string ppm = Child({"grim", "-t", "ppm", "-"}).Finish().value_or("");
    std::istringstream in(ppm);
    std::string magic;
    int max = 0;
    in >> magic >> picture.width >> picture.height >> max;
    in.get();
    if (!in || magic != "P6" || max != 255) return {};
    picture.rgb = ppm.substr(static_cast<std::size_t>(in.tellg()));
    if (picture.rgb.size() != 3u * picture.width * picture.height) return {};
    return picture;
}

// The logo as the target saves it for scripts (a bottom-up 24-bit BMP), top row first.
Picture SavedLogo() {
    testing_support::TempDir dir;
    const std::string path = dir.Path("logo.bmp");
    Picture logo;
    if (!Child({ProgramDir() + "/ravelkin-wayland-target", "--save-logo", path}).Finish()) {
        return logo;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bmp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bmp[at + i]);
        return v;
    };
    if (bmp.size() < 54 || bmp[28] != 24) return logo;
    const std::uint32_t offset = u32(10), width = u32(18), height = u32(22);
    const std::uint32_t row = (width * 3 + 3) & ~3u;
    if (width != target_logo::kLogoSize || height != target_logo::kLogoSize ||
        bmp.size() < offset + row * height) {
        return logo;
    }
    logo.width = logo.height = target_logo::kLogoSize;
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            const char* p = bmp.data() + offset + (height - 1 - y) * row + 3 * x;
            logo.rgb += {p[2], p[1], p[0]};
        }
    }
    return logo;
}

bool operator==(target_logo::Rgb a, target_logo::Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST(SwayHarness, EachOutputAsAskedWithTheTargetsLogoExactlyWherePlaced) {
    EXPECT_EQ(std::getenv("DISPLAY"), nullptr) << "the tests must not lean on an X display";
    const char* asked = std::getenv("RAVELKIN_TEST_SWAY");
    std::istringstream sizes(asked ? asked : "1024x768");
    const auto outputs = nlohmann::json::parse(
        Child({"swaymsg", "-r", "-t", "get_outputs"}).Finish().value_or(""), nullptr, false);
    ASSERT_TRUE(outputs.is_array());
    const Picture logo = SavedLogo();
    ASSERT_EQ(logo.width, target_logo::kLogoSize) << "the target saves no logo";

    int x = 0;
    std::size_t index = 0;
    for (std::string size; sizes >> size; ++index) {
        SCOPED_TRACE("output " + std::to_string(index + 1) + " " + size);
        ASSERT_LT(index, outputs.size());
        const auto& rect = outputs[index]["rect"];
        EXPECT_EQ(outputs[index]["name"], "HEADLESS-" + std::to_string(index + 1));
        EXPECT_EQ(std::to_string(rect["width"].get<int>()) + "x" +
                      std::to_string(rect["height"].get<int>()),
                  size);
        EXPECT_EQ(rect["x"], x);
        EXPECT_EQ(rect["y"], 0);

        // An odd place inside the output, so that an offset of one pixel shows.
        const int left = x + 37, top = 29;
        Target target(left, top);
        ASSERT_TRUE(target.ready) << target.process.Output();
        const Picture screen = Screenshot();
        ASSERT_GT(screen.width, left + 320);
        int wrong = 0;
        for (int ly = 0; ly < target_logo::kLogoSize; ++ly) {
            for (int lx = 0; lx < target_logo::kLogoSize; ++lx) {
                const int sx = left + target_logo::kLogoX + lx, sy = top + target_logo::kLogoY + ly;
                if (!(screen.At(sx, sy) == logo.At(lx, ly))) ++wrong;
            }
        }
        EXPECT_EQ(wrong, 0) << "logo pixels that differ";
        // The window's own grey just outside the logo, sway's background just outside the window.
        EXPECT_TRUE(screen.At(left + target_logo::kLogoX - 1, top + target_logo::kLogoY) ==
                    (target_logo::Rgb{0xC0, 0xC0, 0xC0}));
        EXPECT_FALSE(screen.At(left - 1, top) == (target_logo::Rgb{0xC0, 0xC0, 0xC0}));
        x += std::stoi(size);
    }
    EXPECT_EQ(index, outputs.size());
}

}  // namespace
