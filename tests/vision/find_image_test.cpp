// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
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
        {{1919, 1079, 1920, 1080}, {1, 1}, {0, 0, 1, 1}},
        {{-1, -1, 0, 0}, {1, 1}, {}},
        {{10, 10, 10, 20}, {}, {}},
        {{10, 10, 20, 10}, {}, {}},
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

// A bitmap from a backend is read when every row it names lies inside its bytes, with three
// or four bytes a pixel (the pad byte dropped), top-down or bottom-up (a negative pitch), and is
// refused otherwise with nothing stored: no rows, a pitch a byte too small, a byte too few after
// the last row in memory (spare), the top row a byte out of place, sizes beyond the bytes. So
// are the bitmaps Allocate lays out.
TEST(ConvertToMat, ReadsTheRowsOfABitmapOnlyInsideItsBytes) {
    constexpr int kHuge = INT32_MAX;
    const struct {
        int width, height, pixel_bytes, pitch;
        bool accepted;
        int spare = 0, misplaced = 0;
    } cases[] = {
        {3, 2, 4, 16, true},       {3, 2, 4, -16, true},        {3, 2, 4, 12, true},
        {3, 2, 4, -12, true},      {3, 2, 3, 9, true},          {3, 2, 3, -12, true, 3},
        {1, 1, 4, 4, true},        {3, 2, 4, 11, false},        {3, 2, 4, -11, false},
        {3, 2, 3, 8, false},       {3, 2, 3, -8, false},        {3, 2, 4, 16, false, -1},
        {3, 2, 4, -16, false, -1}, {3, 2, 3, -9, false, 0, -1}, {3, 2, 3, -9, false, 0, 1},
        {0, 2, 3, 9, false},       {0, 2, 4, 16, false},        {3, 0, 4, 16, false},
        {-3, 2, 4, 16, false},     {3, -2, 4, 16, false},       {kHuge, 1, 4, 16, false},
        {3, kHuge, 4, 16, false},  {3, 2, 2, 16, false},        {3, 2, 1, 16, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        // Bytes for the rows a sane size names: two at most, of three pixels at most.
        const int gap = std::abs(c.pitch) * (std::clamp(c.height, 1, 2) - 1);
        const int size = gap + std::clamp(c.width, 0, 3) * c.pixel_bytes + c.spare;
        std::vector<std::uint8_t> bytes(size);
        for (int i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        platform::Bitmap bitmap;
        bitmap.Lend({bytes.data(), [](auto) {}}, size, c.width, c.height, c.pitch, c.pixel_bytes);
        bitmap.top_row_offset = (c.pitch < 0 ? gap : 0) + c.misplaced;
        cv::Mat picture;
        ASSERT_EQ(vision::ConvertToMat(&picture, bitmap), c.accepted ? 1 : 0);
        EXPECT_EQ(picture.empty(), !c.accepted);
        if (!c.accepted) continue;
        cv::Mat expected(c.height, c.width, CV_8UC3);
        expected.forEach<cv::Vec3b>([&](cv::Vec3b& p, const int* at) {
            p = *reinterpret_cast<const cv::Vec3b*>(
                &bytes[bitmap.top_row_offset + at[0] * c.pitch + at[1] * c.pixel_bytes]);
        });
        EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0);
    }
    for (const auto& [width, height] :
         {std::pair(5, 4), {5, 3}, {0, 4}, {5, 0}, {-5, 4}, {5, -3}}) {
        platform::Bitmap black;
        black.Allocate(width, height, height % 2 == 0);  // bottom-up for even heights
        const bool empty = width <= 0 || height <= 0;
        EXPECT_EQ(std::pair(black.width, black.height),
                  empty ? std::pair(0, 0) : std::pair(width, height));
        cv::Mat picture;
        ASSERT_EQ(vision::ConvertToMat(&picture, black), !empty);
        EXPECT_EQ(picture.empty() ? 0 : cv::countNonZero(picture.reshape(1)), 0);
    }
    platform::Bitmap huge;
    EXPECT_THROW(huge.Allocate(kHuge, kHuge, false), std::bad_alloc);
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
// an exact copy scores 1, by either matcher, and 8-bit grey and 32-bit files match as BGR. A
// search that cannot be made says why, and no template file makes the decoder reserve memory
// for a picture it does not hold.
TEST(FindImage, FindsExactSubImagesAtTheirCentreOrSaysWhyNot) {
    using enum vision::SearchFailure;
    Scene scene;
    cv::Mat grey, bgra;
    cv::cvtColor(scene.screen(cv::Rect(700, 500, 40, 30)), grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(grey, scene.screen(cv::Rect(100, 100, 40, 30)), cv::COLOR_GRAY2BGR);
    ShowOnScreen(scene.desktop, scene.screen);
    cv::cvtColor(scene.screen(cv::Rect(700, 500, 40, 30)), bgra, cv::COLOR_BGR2BGRA);
    bgra -= cv::Scalar(0, 0, 0, 238);  // mostly transparent
    const platform::Rect screen = {0, 0, 800, 600};
    const cv::Rect scenes = {600, 340, 31, 20};
    const struct {
        cv::Rect place;
        platform::Rect area;
        vision::SearchFailure failure = kNone;
        cv::Mat file = {};                      // empty: the patch at place
        std::optional<std::string> bytes = {};  // the file's bytes instead
    } cases[] = {
        {scenes, {500, 300, 900, 700}},
        {{500, 300, 17, 9}, {500, 300, 900, 700}},      // top-left corner of the area
        {{1200, 800, 64, 48}, {1200, 800, 1264, 848}},  // as large as the area
        {{883, 691, 17, 9}, {500, 300, 900, 700}},      // bottom-right corner of the area
        {{1500, 900, 263, 33}, {-50, -50, 5000, 5000}},
        // At the screen's corners, the area reaching past them: black beyond.
        {{0, 0, 40, 30}, {-60, -40, 200, 150}},
        {{1880, 0, 40, 30}, {1700, -40, 2000, 150}},
        {{0, 1050, 40, 30}, {-60, 900, 200, 1200}},
        {{1880, 1050, 40, 30}, {1800, 1000, 2100, 1200}},
        {{1880, 1050, 40, 30}, {1700, 900, 1920, 1080}},
        {{400, 100, 256, 256}, {0, 0, 1920, 1080}},
        {{100, 100, 40, 30}, {0, 0, 1920, 1080}, kNone, grey},
        {{700, 500, 40, 30}, {0, 0, 1920, 1080}, kNone, bgra},
        {scenes, {0, 0, 30, 600}, kTemplateTooLarge},
        {scenes, {0, 0, 800, 19}, kTemplateTooLarge},
        {scenes, {10, 10, 10, 600}, kCapture},
        {{}, screen, kUnreadableTemplate, {}, ""},
        {{}, screen, kUnreadableTemplate, {}, Bmp(40, 2, 2).substr(0, 32)},
        {{}, screen, kTemplateTooLarge, {}, Bmp(40, 100000, 100000)},
        {{}, screen, kTemplateTooLarge, {}, Bmp(40, 30000, 30000)},
        {{}, screen, kUnreadableTemplate, {}, "BM not really a bitmap"},
    };
    for (const auto& c : cases) {
        if (c.bytes) {
            scene.dir.Write(ImagePath("1"), *c.bytes);
        } else {
            WriteTemplate(scene.dir, 1, c.file.empty() ? scene.screen(c.place) : c.file);
        }
        for (const auto matcher : {vision::MatcherKind::kFast, vision::MatcherKind::kOpenCv}) {
            cv::Point centre;
            double score = 0;
            ASSERT_EQ(Find(scene, c.area, &centre, &score, matcher), c.failure) << c.place;
            if (c.failure != kNone) continue;
            EXPECT_EQ(centre, (c.place.tl() + cv::Point(c.place.width / 2, c.place.height / 2)))
                << c.place;
            EXPECT_NEAR(score, 1.0, 1e-6);
        }
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
