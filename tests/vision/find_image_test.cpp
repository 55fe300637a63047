// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>

#include "engine/event_maker.h"
#include "tests/vision/vision_support.h"
#include "vision/capture_desktop.h"
#include "vision/find_image.h"

namespace testing_support {
namespace {

// Only the size is limited to the screen; the copy starts where the area does, is black beyond
// the screen and reads top row first from a bottom-up bitmap with padded rows.
TEST(CaptureDesktop, CopiesTheAreaLimitedToTheScreenSize) {
    const struct {
        platform::Rect area;
        cv::Size size;       // empty: the capture fails
        cv::Rect on_screen;  // the part of the picture that shows the screen
    } cases[] = {
        {{101, 50, 302, 150}, {201, 100}, {0, 0, 201, 100}},
        {{0, 0, 10000, 10000}, {1920, 1080}, {0, 0, 1920, 1080}},
        {{1000, 0, 3000, 500}, {1920, 500}, {0, 0, 920, 500}},
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {1920, 1080}, {}},
        {{10, 10, 10, 20}, {}, {}},
        {{INT_MAX, 10, INT_MIN, 5}, {}, {}},
    };
    Scene scene;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.size);
        cv::Mat picture;
        const bool captured = CEvent_Maker(scene.desktop).CaptureDesktop(&picture, c.area);
        ASSERT_EQ(captured, !c.size.empty());
        if (!captured) continue;
        cv::Mat expected(c.size, CV_8UC3, cv::Scalar::all(0));
        if (!c.on_screen.empty()) {
            scene.screen(c.on_screen + cv::Point(c.area.left, c.area.top))
                .copyTo(expected(c.on_screen));
        }
        EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0);
    }
}

// Four-byte pixels lent by a backend lose their pad byte, top-down or bottom-up, rows padded
// beyond their pixels. A bitmap without rows, of another pixel size, or too short for its
// rows is refused and nothing is stored.
TEST(ConvertToMat, DropsThePadByteOfLentPixelsAndRefusesWhatItCannotRead) {
    const int width = 3;
    const int height = 2;
    const std::ptrdiff_t row_bytes = width * 4 + 4;
    std::shared_ptr<std::uint8_t> memory(new std::uint8_t[row_bytes * height],
                                         std::default_delete<std::uint8_t[]>());
    for (int i = 0; i < row_bytes * height; ++i) memory.get()[i] = static_cast<std::uint8_t>(i);
    cv::Mat expected(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = memory.get() + y * row_bytes + x * 4;
            expected.at<cv::Vec3b>(y, x) = {p[0], p[1], p[2]};
        }
    }
    const std::size_t size = static_cast<std::size_t>(row_bytes * height);
    for (const bool bottom_up : {false, true}) {
        platform::Bitmap lent;
        lent.Lend(memory, size, width, height, row_bytes, 4);
        cv::Mat want = expected.clone();
        if (bottom_up) {
            lent.pitch = -row_bytes;
            lent.top_row_offset = static_cast<std::size_t>(row_bytes);
            cv::flip(expected, want, 0);
        }
        cv::Mat picture;
        ASSERT_EQ(vision::ConvertToMat(&picture, lent), 1) << bottom_up;
        EXPECT_EQ(cv::norm(picture, want, cv::NORM_INF), 0) << bottom_up;
    }

    platform::Bitmap empty, cut, odd, short_rows;
    cut.Allocate(5, 4, true);
    cut.bytes.resize(cut.bytes.size() - 2);  // one byte of the top row (the last in memory)
    odd.Allocate(5, 4, false);
    odd.bytes_per_pixel = 2;
    short_rows.Lend(memory, size - 5, width, height, row_bytes, 4);  // last pixel cut
    for (const platform::Bitmap* refused : {&empty, &cut, &odd, &short_rows}) {
        cv::Mat picture;
        EXPECT_EQ(vision::ConvertToMat(&picture, *refused), 0);
        EXPECT_TRUE(picture.empty());
    }
}

// Searches the area for template 1 through the engine, whose out-places must stay untouched
// when the search cannot be made; that reason comes from the search itself.
vision::SearchFailure Find(Scene& scene, const platform::Rect& area, cv::Point* centre = nullptr,
                           double* score = nullptr,
                           vision::MatcherKind matcher = vision::MatcherKind::kFast) {
    int x = -1, y = -1;
    double found_score = -1;
    const engine::RunSettings settings{std::make_shared<vision::Matcher>(matcher)};
    CEvent_Maker engine(scene.desktop, settings);
    if (engine.FindImage(&x, &y, &found_score, area, ImagePath("1").c_str())) {
        if (centre) *centre = {x, y};
        if (score) *score = found_score;
        return vision::SearchFailure::kNone;
    }
    EXPECT_TRUE(x == -1 && y == -1 && found_score == -1) << "out-places written";
    return vision::FindImage(scene.desktop, area, ImagePath("1"), settings.matcher).failure;
}

// The centre is the template's place plus half its size, truncated, whatever the area's offset;
// an exact copy scores 1, by either matcher, and 8-bit grey and 32-bit files match as BGR.
TEST(FindImage, FindsExactSubImagesAtTheirCentre) {
    Scene scene;
    cv::Mat grey, bgra;
    cv::cvtColor(scene.screen(cv::Rect(700, 500, 40, 30)), grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(grey, scene.screen(cv::Rect(100, 100, 40, 30)), cv::COLOR_GRAY2BGR);
    ShowOnScreen(scene.desktop, scene.screen);
    cv::cvtColor(scene.screen(cv::Rect(700, 500, 40, 30)), bgra, cv::COLOR_BGR2BGRA);
    bgra -= cv::Scalar(0, 0, 0, 238);  // mostly transparent
    const struct {
        cv::Rect place;
        platform::Rect area;
        cv::Mat file = {};  // empty: the patch at place
    } cases[] = {
        {{600, 340, 31, 20}, {500, 300, 900, 700}},
        {{500, 300, 17, 9}, {500, 300, 900, 700}},      // top-left corner of the area
        {{1200, 800, 64, 48}, {1200, 800, 1264, 848}},  // as large as the area
        {{1500, 900, 263, 33}, {-50, -50, 5000, 5000}},
        {{400, 100, 256, 256}, {0, 0, 1920, 1080}},
        {{100, 100, 40, 30}, {0, 0, 1920, 1080}, grey},
        {{700, 500, 40, 30}, {0, 0, 1920, 1080}, bgra},
    };
    for (const auto& c : cases) {
        WriteTemplate(scene.dir, 1, c.file.empty() ? scene.screen(c.place) : c.file);
        for (const auto matcher : {vision::MatcherKind::kFast, vision::MatcherKind::kOpenCv}) {
            cv::Point centre;
            double score = 0;
            ASSERT_EQ(Find(scene, c.area, &centre, &score, matcher), vision::SearchFailure::kNone);
            EXPECT_EQ(centre, (c.place.tl() + cv::Point(c.place.width / 2, c.place.height / 2)))
                << c.place;
            EXPECT_NEAR(score, 1.0, 1e-6);
        }
    }
}

// A search that cannot be made says why. No template file makes the decoder reserve memory for
// a picture it does not hold.
TEST(FindImage, FailsCleanlyWithoutTouchingTheOutPlaces) {
    using enum vision::SearchFailure;
    Scene scene;
    const auto bmp = [](std::uint32_t width, std::uint32_t height) {
        std::string head("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
        for (const std::uint32_t v : {width, height}) {
            for (int i = 0; i < 4; ++i) head += static_cast<char>(v >> (8 * i));
        }
        return head + std::string("\x01\0\x18\0", 4) + std::string(24, '\0');
    };
    const platform::Rect screen = {0, 0, 800, 600};
    const struct {
        std::optional<std::string> file;  // nothing: the scene's 31 x 20 template
        platform::Rect area;
        vision::SearchFailure failure;
    } cases[] = {
        {std::nullopt, {0, 0, 30, 600}, kTemplateTooLarge},
        {std::nullopt, {0, 0, 800, 19}, kTemplateTooLarge},
        {std::nullopt, {10, 10, 10, 600}, kCapture},
        {"", screen, kUnreadableTemplate},
        {bmp(2, 2).substr(0, 32), screen, kUnreadableTemplate},
        {bmp(100000, 100000), screen, kTemplateTooLarge},
        {bmp(30000, 30000), screen, kTemplateTooLarge},
        {"BM not really a bitmap", screen, kUnreadableTemplate},
    };
    for (const auto& c : cases) {
        if (c.file) scene.dir.Write(ImagePath("1"), *c.file);
        EXPECT_EQ(Find(scene, c.area), c.failure) << ::testing::PrintToString(c.file);
    }
    std::filesystem::remove(ImagePath("1"));
    EXPECT_EQ(Find(scene, screen), kUnreadableTemplate);
    std::filesystem::create_directory(ImagePath("1"));
    EXPECT_EQ(Find(scene, screen), kUnreadableTemplate);
    scene.desktop.copy_fails = true;
    EXPECT_EQ(Find(scene, screen), kCapture);
}

}  // namespace
}  // namespace testing_support
