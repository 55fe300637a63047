#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "tests/vision/vision_support.h"
#include "vision/correlation_choice.h"
#include "vision/fast_matcher.h"
#include "vision/fft_correlator.h"
#include "vision/matcher.h"

namespace testing_support {
namespace {

using vision::CorrelationChoice;
using vision::Placement;

// Every placement's TM_CCORR_NORMED score by its definition, summed in double precision (exact
// for these integer sums); 0 where the window or the template has no energy.
cv::Mat DirectScores(const cv::Mat& picture, const cv::Mat& templ) {
    cv::Mat p, t;
    picture.convertTo(p, CV_64F);
    templ.convertTo(t, CV_64F);
    cv::Mat scores(picture.rows - templ.rows + 1, picture.cols - templ.cols + 1, CV_64F);
    for (int y = 0; y < scores.rows; ++y) {
        for (int x = 0; x < scores.cols; ++x) {
            const cv::Mat window = p(cv::Rect(cv::Point(x, y), t.size()));
            const double norm = std::sqrt(window.dot(window) * t.dot(t));
            scores.at<double>(y, x) = norm > 0 ? window.dot(t) / norm : 0.0;
        }
    }
    return scores;
}

// The first maximum row by row, as cv::minMaxLoc reports it, and the best score elsewhere.
struct Ranking {
    cv::Point best_at;
    double best = -1;
    double runner_up = -1;
};

Ranking Rank(const cv::Mat& scores) {
    Ranking r;
    for (int y = 0; y < scores.rows; ++y) {
        for (int x = 0; x < scores.cols; ++x) {
            const double s = scores.at<double>(y, x);
            if (s > r.best) {
                r.runner_up = r.best;
                r.best = s;
                r.best_at = {x, y};
            } else {
                r.runner_up = std::max(r.runner_up, s);
            }
        }
    }
    return r;
}

// Checks the fast matcher against the direct scores and against cv::matchTemplate.
void ExpectAgreement(const cv::Mat& picture, const cv::Mat& templ) {
    Placement fast;
    cv::Mat scores;
    ASSERT_TRUE(vision::FastMatch(picture, templ, &fast, &scores));
    const cv::Mat direct = DirectScores(picture, templ);
    ASSERT_EQ(scores.size(), direct.size());
    EXPECT_LE(cv::norm(scores, direct, cv::NORM_INF), 1e-5);

    const Ranking ours = Rank(scores);
    EXPECT_EQ(fast.top_left, ours.best_at) << "not the first maximum";
    EXPECT_EQ(fast.score, ours.best);

    Placement reference;
    vision::OpenCvMatch(picture, templ, &reference);
    EXPECT_NEAR(fast.score, reference.score, 1e-5);
    const Ranking exact = Rank(direct);
    if (exact.best - exact.runner_up >= 1e-6) {
        EXPECT_EQ(fast.top_left, reference.top_left)
            << "best " << exact.best << " next " << exact.runner_up;
    }
}

cv::Mat Uniform(cv::Size size, cv::Scalar colour) {
    return cv::Mat(size, CV_8UC3, colour);
}

cv::Mat Noise(cv::Size size, int low, int high, int seed) {
    cv::Mat noise(size, CV_8UC3);
    cv::RNG(seed).fill(noise, cv::RNG::UNIFORM, low, high);
    return noise;
}

// A natural picture with a black band, a dark band (values up to 6), a saturated band and a
// flat grey block, so that templates can be cut from each kind of area.
cv::Mat MixedPicture() {
    cv::Mat picture = NaturalPicture(150, 110);
    picture(cv::Rect(0, 0, 150, 14)).setTo(cv::Scalar::all(0));
    Noise({150, 14}, 0, 7, 3).copyTo(picture(cv::Rect(0, 14, 150, 14)));
    picture(cv::Rect(0, 90, 150, 20)).setTo(cv::Scalar::all(255));
    picture(cv::Rect(100, 30, 40, 40)).setTo(cv::Scalar(90, 120, 200));
    return picture;
}

TEST(FastMatch, AgreesWithTheDefinitionAndWithOpenCv) {
    const cv::Mat mixed = MixedPicture();
    const cv::Mat noise = Noise({120, 90}, 0, 256, 11);
    const struct {
        const char* what;
        cv::Mat picture;
        cv::Mat templ;
    } cases[] = {
        {"cut from a natural area", mixed, mixed(cv::Rect(40, 50, 37, 23)).clone()},
        {"one pixel", mixed, mixed(cv::Rect(70, 60, 1, 1)).clone()},
        {"three by two", mixed, mixed(cv::Rect(5, 40, 3, 2)).clone()},
        {"as large as the picture", mixed, mixed.clone()},
        {"nearly as large", mixed, mixed(cv::Rect(3, 2, 140, 104)).clone()},
        {"all black, in black and dark bands", mixed, Uniform({9, 5}, cv::Scalar::all(0))},
        {"from the dark band", mixed, mixed(cv::Rect(60, 15, 12, 10)).clone()},
        {"dark over the black edge", mixed, mixed(cv::Rect(20, 8, 10, 12)).clone()},
        {"saturated", mixed, Uniform({16, 12}, cv::Scalar::all(255))},
        {"flat grey in the flat block", mixed, Uniform({10, 10}, cv::Scalar(90, 120, 200))},
        {"flat, another brightness", mixed, Uniform({10, 10}, cv::Scalar(45, 60, 100))},
        {"random in random", noise, noise(cv::Rect(50, 30, 16, 16)).clone()},
        {"random, not in the picture", noise, Noise({11, 7}, 0, 256, 12)},
        {"random in an all-black picture", Uniform({40, 30}, cv::Scalar::all(0)),
         Noise({8, 8}, 0, 256, 13)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectAgreement(c.picture, c.templ);
    }
}

// The sums are exact, so every way of computing them gives the same scores to the last bit,
// also when the last tiles reach past the picture and blocks go to two threads.
TEST(FastMatch, EveryWayOfSummingGivesTheSameScores) {
    const cv::Mat picture = NaturalPicture(230, 170);
    const cv::Mat templ = picture(cv::Rect(101, 77, 21, 13)).clone();
    std::vector<CorrelationChoice> choices;
    for (const int band_rows : {1, 7}) {
        CorrelationChoice direct;
        direct.method = CorrelationChoice::Method::kDirect;
        direct.band_rows = band_rows;
        choices.push_back(direct);
    }
    for (const cv::Size tile : {cv::Size(32, 32), cv::Size(64, 128), cv::Size(160, 48),
                                cv::Size(256, 256), cv::Size(240, 180)}) {
        CorrelationChoice fft;
        fft.tile = tile;
        choices.push_back(fft);
    }
    cv::Mat first;
    Placement first_best;
    ASSERT_TRUE(vision::FastMatch(picture, templ, &first_best, &first));
    for (CorrelationChoice choice : choices) {
        for (const int workers : {1, 2}) {
            choice.workers = workers;
            SCOPED_TRACE(::testing::Message() << static_cast<int>(choice.method) << " "
                                              << choice.tile << " " << workers);
            Placement best;
            cv::Mat scores;
            ASSERT_TRUE(vision::FastMatch(choice, picture, templ, &best, &scores));
            EXPECT_EQ(cv::norm(scores, first, cv::NORM_INF), 0);
            EXPECT_EQ(best.top_left, first_best.top_left);
            EXPECT_EQ(best.score, first_best.score);
        }
    }
}

// Many small searches on two threads, so that a worker often waits for a step the other one
// is finishing: a lost wake-up would leave it asleep and the search would never return.
TEST(FastMatch, TwoWorkersAlwaysFinish) {
    const cv::Mat picture = NaturalPicture(96, 64);
    const cv::Mat templ = picture(cv::Rect(40, 20, 9, 7)).clone();
    CorrelationChoice fft;
    fft.tile = {32, 32};
    CorrelationChoice direct;
    direct.method = CorrelationChoice::Method::kDirect;
    for (CorrelationChoice choice : {fft, direct}) {
        choice.workers = 2;
        for (int i = 0; i < 2000; ++i) {
            Placement best;
            ASSERT_TRUE(vision::FastMatch(choice, picture, templ, &best, nullptr));
            ASSERT_EQ(best.top_left, cv::Point(40, 20));
        }
    }
}

// Searches as large as a screen, checked against OpenCV's place and direct sums at sampled
// places.
TEST(FastMatch, FindsTheSameOnLargePictures) {
    const cv::Mat screen = NaturalPicture(1920, 1080);
    const cv::Mat window = screen(cv::Rect(300, 200, 640, 480));
    const struct {
        cv::Mat picture;
        cv::Rect cut;
    } cases[] = {{screen, {900, 500, 64, 64}}, {window, {20, 440, 200, 31}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cut);
        const cv::Mat templ = c.picture(c.cut).clone();
        Placement fast, reference;
        cv::Mat scores;
        ASSERT_TRUE(vision::FastMatch(c.picture, templ, &fast, &scores));
        vision::OpenCvMatch(c.picture, templ, &reference);
        EXPECT_EQ(fast.top_left, c.cut.tl());
        EXPECT_EQ(reference.top_left, c.cut.tl());
        EXPECT_NEAR(fast.score, 1.0, 1e-12);
        cv::RNG rng(5);
        for (int i = 0; i < 30; ++i) {
            const cv::Point at(rng.uniform(0, scores.cols), rng.uniform(0, scores.rows));
            const cv::Mat window = c.picture(cv::Rect(at, templ.size()));
            EXPECT_NEAR(scores.at<double>(at), DirectScores(window, templ).at<double>(0, 0), 1e-5)
                << at;
        }
    }
}

// Scores rely on rounding the transformed sums to whole numbers. The error grows with the
// norms of tile and template, so saturated pictures in a large tile must still leave a wide
// margin below 1/2.
TEST(FftCorrelator, SumsStayCloseToWholeNumbersWhenSaturated) {
    const cv::Mat picture = Uniform({1280, 720}, cv::Scalar::all(255));
    const cv::Mat templ = Uniform({256, 256}, cv::Scalar::all(255));
    vision::FftCorrelator correlator;
    ASSERT_TRUE(correlator.Setup(picture, templ, {1280, 720}));
    correlator.PrepareWorkers(1);
    correlator.PrepareTemplate();
    const cv::Size block(1280 - 255, 720 - 255);
    const vision::Correlator::Sums sums = correlator.Correlate(0, 0, 0, block);
    const double exact = 255.0 * 255.0 * 3 * 256 * 256;
    double worst = 0;
    for (int y = 0; y < block.height; ++y) {
        for (int x = 0; x < block.width; ++x) {
            worst = std::max(worst, std::fabs(sums.values[y * sums.stride + x] - exact));
        }
    }
    EXPECT_LT(worst, 0.01);
}

TEST(FastMatch, RefusesPicturesThatDoNotFit) {
    const cv::Mat picture = NaturalPicture(40, 30);
    const cv::Mat grey(5, 5, CV_8UC1, cv::Scalar(9));
    const struct {
        cv::Mat picture, templ;
    } cases[] = {{picture, NaturalPicture(41, 3)},
                 {picture, NaturalPicture(3, 31)},
                 {picture, cv::Mat()},
                 {picture, grey},
                 {grey, grey}};
    for (const auto& c : cases) {
        Placement best{{-7, -7}, -7};
        EXPECT_FALSE(vision::FastMatch(c.picture, c.templ, &best));
        EXPECT_EQ(best.top_left, cv::Point(-7, -7));
        EXPECT_EQ(best.score, -7);
    }
}

}  // namespace
}  // namespace testing_support
