#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <limits>
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

// Searches the area for template 1; the out-places must stay untouched when it fails.
bool Find(Scene& scene, const platform::Rect& area, int& x, int& y, double& score,
          vision::MatcherKind matcher = vision::MatcherKind::kFast) {
    x = y = -1;
    score = -1;
    CEvent_Maker engine(scene.desktop, engine::RunSettings{matcher});
    const bool found = engine.FindImage(&x, &y, &score, area, ImagePath("1").c_str());
    if (!found) {
        EXPECT_TRUE(x == -1 && y == -1 && score == -1) << "out-places written";
    }
    return found;
}

// The centre is the template's place plus half its size, truncated, whatever the area's offset;
// an exact copy scores 1.
TEST(FindImage, FindsExactSubImagesAtTheirCentre) {
    const struct {
        cv::Rect templ;
        platform::Rect area;
    } cases[] = {
        {{600, 340, 31, 20}, {500, 300, 900, 700}},
        {{500, 300, 17, 9}, {500, 300, 900, 700}},      // top-left corner of the area
        {{1200, 800, 64, 48}, {1200, 800, 1264, 848}},  // as large as the area
        {{1500, 900, 263, 33}, {-50, -50, 5000, 5000}},
        {{400, 100, 256, 256}, {0, 0, 1920, 1080}},
    };
    Scene scene;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.templ);
        WriteTemplate(scene.dir, 1, scene.screen(c.templ));
        int x, y;
        double score;
        ASSERT_TRUE(Find(scene, c.area, x, y, score));
        EXPECT_EQ(x, c.templ.x + c.templ.width / 2);
        EXPECT_EQ(y, c.templ.y + c.templ.height / 2);
        EXPECT_NEAR(score, 1.0, 1e-6);
    }
}

// The reference matcher, chosen instead of the fast one, finds the same.
TEST(FindImage, BothMatchersFindTheSame) {
    Scene scene;
    const platform::Rect areas[] = {{500, 300, 900, 700}, {600, 340, 631, 360}};
    for (const auto& area : areas) {
        int xs[2], ys[2];
        double scores[2];
        for (const int reference : {0, 1}) {
            ASSERT_TRUE(
                Find(scene, area, xs[reference], ys[reference], scores[reference],
                     reference ? vision::MatcherKind::kOpenCv : vision::MatcherKind::kFast));
        }
        EXPECT_EQ(xs[0], xs[1]);
        EXPECT_EQ(ys[0], ys[1]);
        EXPECT_NEAR(scores[0], scores[1], 1e-6);
    }
}

// 8-bit grey, 24-bit and 32-bit files are all matched as BGR.
TEST(FindImage, ReadsTemplatesOfEveryBmpDepth) {
    Scene scene;
    const cv::Rect place(700, 500, 40, 30);
    cv::Mat grey, grey_bgr, bgra;
    cv::cvtColor(scene.screen(place), grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(grey, grey_bgr, cv::COLOR_GRAY2BGR);
    grey_bgr.copyTo(scene.screen(cv::Rect(100, 100, 40, 30)));
    ShowOnScreen(scene.desktop, scene.screen);
    std::vector<cv::Mat> channels;
    cv::split(scene.screen(place), channels);
    channels.push_back(cv::Mat(place.size(), CV_8U, cv::Scalar(17)));  // mostly transparent
    cv::merge(channels, bgra);

    const struct {
        cv::Mat file;
        char bits;
        cv::Point at;
    } cases[] = {
        {grey, 8, {100, 100}}, {scene.screen(place), 24, place.tl()}, {bgra, 32, place.tl()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bits));
        WriteTemplate(scene.dir, 1, c.file);
        char header[30] = {};
        std::ifstream(ImagePath("1"), std::ios::binary).read(header, sizeof header);
        ASSERT_EQ(header[28], c.bits) << "bits per pixel of the file";
        int x, y;
        double score;
        ASSERT_TRUE(Find(scene, {0, 0, 1920, 1080}, x, y, score));
        EXPECT_EQ(cv::Point(x, y), c.at + cv::Point(20, 15));
        EXPECT_NEAR(score, 1.0, 1e-6);
    }
}

// A search that cannot be made says why and leaves the out-places alone. No template file
// makes the decoder reserve memory for a picture it does not hold.
TEST(FindImage, FailsCleanlyWithoutTouchingTheOutPlaces) {
    using enum vision::SearchFailure;
    Scene scene;
    const auto failure = [&](const platform::Rect& area) {
        int x, y;
        double score;
        EXPECT_FALSE(Find(scene, area, x, y, score));
        return vision::FindImage(scene.desktop, area, ImagePath("1"), vision::MatcherKind::kFast)
            .failure;
    };
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
        EXPECT_EQ(failure(c.area), c.failure) << ::testing::PrintToString(c.file);
    }
    std::filesystem::remove(ImagePath("1"));
    EXPECT_EQ(failure(screen), kUnreadableTemplate);
    std::filesystem::create_directory(ImagePath("1"));
    EXPECT_EQ(failure(screen), kUnreadableTemplate);
    scene.desktop.set_copy_fails(true);
    EXPECT_EQ(failure(screen), kCapture);
}

}  // namespace
}  // namespace testing_support
