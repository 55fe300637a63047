// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "platform/virtual_keys.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"
#include "vision/template_path.h"

namespace testing_support {

// A screen-like BGR picture: gradients, filled shapes and noise, so that every patch of it is
// found at one place only.
inline cv::Mat NaturalPicture(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    picture.forEach<cv::Vec3b>([&](cv::Vec3b& p, const int* at) {
        p = cv::Vec3b(20 + at[1] * 180 / width, 20 + at[0] * 180 / height,
                      60 + (at[0] + at[1]) * 100 / (width + height));
    });
    cv::RNG rng(7);
    for (int i = 0; i < width * height / 20000 + 4; ++i) {
        const cv::Point at(rng.uniform(0, width), rng.uniform(0, height));
        const cv::Scalar colour(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
        const int size = rng.uniform(4, 60);
        if (i % 2) cv::circle(picture, at, size, colour, cv::FILLED);
        if (i % 2 == 0) cv::rectangle(picture, at, at + cv::Point(size, size / 2), colour, -1);
    }
    cv::Mat noise(height, width, CV_8UC3);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 60);
    return picture + noise;
}

// The patch of this size whose values spread the most, or the least, among those on a grid of
// its own size: on a real screen a button or some text, or a stretch of background.
inline cv::Rect SpreadPatch(const cv::Mat& screen, cv::Size size, bool busiest) {
    cv::Rect chosen;
    double chosen_spread = busiest ? -1 : 1e9;
    for (int y = 0; y + size.height <= screen.rows; y += size.height) {
        for (int x = 0; x + size.width <= screen.cols; x += size.width) {
            cv::Scalar mean, spread;
            cv::meanStdDev(screen(cv::Rect(cv::Point(x, y), size)), mean, spread);
            const double s = spread[0] + spread[1] + spread[2];
            if (busiest ? s > chosen_spread : s < chosen_spread) {
                chosen = cv::Rect(cv::Point(x, y), size);
                chosen_spread = s;
            }
        }
    }
    return chosen;
}

// A screen captured from real programs (tests/vision/screens), as BGR; empty if missing.
inline cv::Mat RealScreen(const std::string& name) {
    return cv::imread(std::string(RAVELKIN_SCREENS) + "/" + name + ".png", cv::IMREAD_COLOR);
}

inline void ShowOnScreen(FakeDesktop& desktop, const cv::Mat& bgr) {
    const cv::Mat continuous = bgr.clone();
    desktop.SetScreen(continuous.cols, continuous.rows,
                      std::vector<std::uint8_t>(continuous.datastart, continuous.dataend));
}

// The path the program forms for an image number, with this platform's separator.
inline std::string ImagePath(const std::string& number) {
    return std::string("Images") + vision::kPathSeparator + number + ".bmp";
}

inline void WriteTemplate(const TempDir& dir, int number, const cv::Mat& picture) {
    std::filesystem::create_directories(dir.path() / "Images");
    cv::imwrite((dir.path() / "Images" / (std::to_string(number) + ".bmp")).string(), picture);
}

// A 1920 x 1080 natural screen served bottom-up, and a working directory whose template 1 is
// the 31 x 20 patch at (600, 340): its centre is (615, 350).
struct Scene {
    FakeDesktop desktop;
    cv::Mat screen = NaturalPicture(1920, 1080);
    TempDir dir;
    ScopedCurrentDir cwd{dir.path()};

    Scene() {
        ShowOnScreen(desktop, screen);
        desktop.bottom_up = true;
        WriteTemplate(dir, 1, screen(cv::Rect(600, 340, 31, 20)));
    }
};

// A 24-bit BMP file's header of 54 bytes, with the given sizes of its information header and
// of the picture, and no pixels.
inline std::string Bmp(std::uint32_t info, std::uint32_t width, std::uint32_t height) {
    std::string bytes("BM\x46\0\0\0\0\0\0\0\x36\0\0\0", 14);
    for (const std::uint32_t v : {info, width, height}) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
    }
    return bytes + std::string("\x01\0\x18\0", 4) + std::string(24, '\0');
}

// The mouse events as text: "move 300,52" (the pixel), "left down", "right up".
inline std::vector<std::string> MouseLog(const FakeDesktop& desktop) {
    std::vector<std::string> log;
    for (const InputEvent& e : desktop.events) {
        if (e.kind != InputEvent::Kind::kKey) log.push_back(::testing::PrintToString(e));
    }
    return log;
}

}  // namespace testing_support
