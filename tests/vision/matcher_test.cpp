// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <opencv2/core.hpp>
#include <thread>

#include "tests/vision/vision_support.h"
#include "vision/matcher/fast_matcher.h"
#include "vision/matcher/matcher.h"

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
    scores.forEach<double>([&](double& score, const int* at) {
        const cv::Mat window = p(cv::Rect(cv::Point(at[1], at[0]), t.size()));
        const double norm = std::sqrt(window.dot(window) * t.dot(t));
        score = norm > 0 ? window.dot(t) / norm : 0.0;
    });
    return scores;
}

cv::Mat Noise(cv::Size size, int low, int high, int seed) {
    cv::Mat noise(size, CV_8UC3);
    cv::RNG(seed).fill(noise, cv::RNG::UNIFORM, low, high);
    return noise;
}

// The fast matcher against the direct scores and against cv::matchTemplate: the scores agree,
// the best is the first maximum row by row, and the place is OpenCV's unless two places score
// within OpenCV's own rounding.
TEST(FastMatch, AgreesWithTheDefinitionAndWithOpenCv) {
    // A natural picture with a black band, a dark band (values up to 6), a saturated band and a
    // flat block, so that templates can be cut from each kind of area.
    cv::Mat mixed = NaturalPicture(150, 110);
    mixed(cv::Rect(0, 0, 150, 14)).setTo(cv::Scalar::all(0));
    Noise({150, 14}, 0, 7, 3).copyTo(mixed(cv::Rect(0, 14, 150, 14)));
    mixed(cv::Rect(0, 90, 150, 20)).setTo(cv::Scalar::all(255));
    mixed(cv::Rect(100, 30, 40, 40)).setTo(cv::Scalar(90, 120, 200));
    const cv::Mat noise = Noise({120, 90}, 0, 256, 11);
    const auto cut = [](const cv::Mat& m, cv::Rect r) { return m(r).clone(); };
    const auto flat = [](cv::Size size, cv::Scalar c) { return cv::Mat(size, CV_8UC3, c); };
    const struct {
        cv::Mat picture, templ;
    } cases[] = {
        {mixed, cut(mixed, {40, 50, 37, 23})},
        {mixed, cut(mixed, {70, 60, 1, 1})},
        {mixed, cut(mixed, {5, 40, 3, 2})},
        {mixed, mixed.clone()},
        {mixed, cut(mixed, {3, 2, 140, 104})},
        {mixed, flat({9, 5}, cv::Scalar::all(0))},
        {mixed, cut(mixed, {60, 15, 12, 10})},
        {mixed, cut(mixed, {20, 8, 10, 12})},
        {mixed, flat({16, 12}, cv::Scalar::all(255))},
        {mixed, flat({10, 10}, {90, 120, 200})},
        {mixed, flat({10, 10}, {45, 60, 100})},
        {noise, cut(noise, {50, 30, 16, 16})},
        {noise, Noise({11, 7}, 0, 256, 12)},
        {flat({40, 30}, {}), Noise({8, 8}, 0, 256, 13)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.picture.size() << " " << c.templ.size());
        Placement fast, reference;
        cv::Mat scores;
        ASSERT_TRUE(vision::FastMatch(c.picture, c.templ, &fast, &scores));
        const cv::Mat direct = DirectScores(c.picture, c.templ);
        EXPECT_LE(cv::norm(scores, direct, cv::NORM_INF), 1e-5);
        cv::Point first;
        double best = 0;
        cv::minMaxLoc(scores, nullptr, &best, nullptr, &first);
        EXPECT_EQ(fast.top_left, first);
        EXPECT_EQ(fast.score, best);
        vision::OpenCvMatch(c.picture, c.templ, &reference);
        EXPECT_NEAR(fast.score, reference.score, 1e-5);
        cv::Mat others = direct.clone();
        others.at<double>(fast.top_left) = -1;
        double runner_up = 0;
        cv::minMaxLoc(others, nullptr, &runner_up);
        if (direct.at<double>(fast.top_left) - runner_up >= 1e-6) {
            EXPECT_EQ(fast.top_left, reference.top_left);
        }
    }
}

// The sums are exact, so every way of computing them gives the same scores to the last bit,
// also when the last tiles reach past the picture, blocks go to two threads and one matcher's
// buffers serve tiles and bands of every size in turn.
TEST(FastMatch, EveryWayOfSummingGivesTheSameScores) {
    const cv::Mat picture = NaturalPicture(230, 170);
    const cv::Mat templ = picture(cv::Rect(101, 77, 21, 13)).clone();
    std::vector<CorrelationChoice> choices;
    for (const int band_rows : {1, 7}) {
        choices.push_back({CorrelationChoice::Method::kDirect, {}, band_rows, 1});
    }
    for (const cv::Size tile : {cv::Size(32, 32), cv::Size(64, 128), cv::Size(160, 48),
                                cv::Size(256, 256), cv::Size(240, 180)}) {
        choices.push_back({CorrelationChoice::Method::kFft, tile, 1, 1});
    }
    cv::Mat first;
    Placement first_best;
    ASSERT_TRUE(vision::FastMatch(picture, templ, &first_best, &first));
    vision::FastMatcher matcher;
    for (CorrelationChoice choice : choices) {
        for (choice.workers = 1; choice.workers <= 2; ++choice.workers) {
            Placement best;
            cv::Mat scores;
            ASSERT_TRUE(matcher.Match(choice, picture, templ, &best, &scores));
            EXPECT_EQ(cv::norm(scores, first, cv::NORM_INF), 0) << choice.tile << choice.workers;
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
    vision::FastMatcher matcher;
    for (CorrelationChoice choice :
         {CorrelationChoice{CorrelationChoice::Method::kFft, {32, 32}, 1, 2},
          CorrelationChoice{CorrelationChoice::Method::kDirect, {}, 1, 2}}) {
        for (int i = 0; i < 2000; ++i) {
            Placement best;
            ASSERT_TRUE(matcher.Match(choice, picture, templ, &best, nullptr));
            ASSERT_EQ(best.top_left, cv::Point(40, 20));
        }
    }
}

// Two matchers search at the same time on two threads, each through sizes and ways of summing
// that make it grow and reuse its buffers: every search gives a lone search's scores.
TEST(FastMatcher, TwoMatchersSearchSideBySide) {
    using Method = CorrelationChoice::Method;
    struct Search {
        CorrelationChoice choice;
        cv::Mat picture;
        cv::Rect cut;
        cv::Mat scores = {};
    } searches[] = {
        {{Method::kFft, {32, 32}, 1, 1}, NaturalPicture(160, 120), {40, 20, 9, 7}},
        {{Method::kFft, {128, 64}, 1, 2}, NaturalPicture(150, 140), {70, 50, 21, 13}},
        {{Method::kDirect, {}, 3, 1}, NaturalPicture(90, 100), {10, 80, 5, 6}},
        {{Method::kFft, {160, 128}, 1, 2}, NaturalPicture(170, 110), {100, 30, 30, 40}},
    };
    for (Search& s : searches) {
        Placement best;
        ASSERT_TRUE(vision::FastMatch(s.choice, s.picture, s.picture(s.cut), &best, &s.scores));
    }
    std::atomic<int> wrong{0};
    const auto run = [&](int first) {
        vision::FastMatcher matcher;
        for (int i = first; i < first + 200; ++i) {
            const Search& s = searches[i % std::size(searches)];
            Placement best;
            cv::Mat scores;
            if (!matcher.Match(s.choice, s.picture, s.picture(s.cut), &best, &scores) ||
                cv::norm(scores, s.scores, cv::NORM_INF) != 0) {
                ++wrong;
            }
        }
    };
    std::thread other(run, 1);
    run(0);
    other.join();
    EXPECT_EQ(wrong, 0);
}

// A screen-sized search, where the matcher chooses large tiles and both threads.
TEST(FastMatch, FindsTheSameOnAScreen) {
    const cv::Mat screen = NaturalPicture(1920, 1080);
    Placement fast;
    ASSERT_TRUE(vision::FastMatch(screen, screen(cv::Rect(900, 500, 64, 64)).clone(), &fast));
    EXPECT_EQ(fast.top_left, cv::Point(900, 500));
    EXPECT_NEAR(fast.score, 1.0, 1e-12);
}

TEST(FastMatch, RefusesPicturesThatDoNotFit) {
    const cv::Mat picture = NaturalPicture(40, 30);
    const cv::Mat grey(5, 5, CV_8UC1, cv::Scalar(9));
    const cv::Mat cases[][2] = {{picture, NaturalPicture(41, 3)},
                                {picture, NaturalPicture(3, 31)},
                                {picture, cv::Mat()},
                                {picture, grey},
                                {grey, grey}};
    for (const auto& c : cases) {
        Placement best{{-7, -7}, -7};
        EXPECT_FALSE(vision::FastMatch(c[0], c[1], &best));
        EXPECT_EQ(best.top_left, cv::Point(-7, -7));
        EXPECT_EQ(best.score, -7);
    }
}

}  // namespace
}  // namespace testing_support
