// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <functional>
#include <iterator>
#include <opencv2/core.hpp>
#include <thread>
#include <tuple>

#include "tests/vision/vision_support.h"
#include "vision/matcher/fast_matcher.h"
#include "vision/matcher/matcher.h"

namespace testing_support {
namespace {

using vision::CorrelationChoice;
using vision::Placement;
using enum CorrelationChoice::Method;

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

// Every way of computing the scores against their definition: the fast matcher's choice, its
// direct sums in bands and its FFTs in tiles of several sizes (from the template's own up), on
// one thread or two, and cv::matchTemplate. Templates are cut from every kind of area (black,
// nearly black, saturated, flat, noise), planted at each corner of the placements, as large as
// the picture (one placement), or a pixel too wide, too high or both, or not BGR, which every
// way refuses with nothing written (as a fast way refuses one larger than its tile). The best is
// the first maximum row by row, the definition's best unless another place scores within
// OpenCV's rounding of it; OpenCV's single-precision scores are off by up to about 1e-5, more in
// nearly black areas. The fast sums are exact, so all fast ways give the same scores to the
// last bit, also when the last tiles reach past the picture and one matcher's buffers serve
// tiles and bands of every size in turn.
TEST(Matchers, EveryWayScoresAsDefinedUpToTheEdges) {
    using Match = std::function<bool(const cv::Mat&, const cv::Mat&, Placement*, cv::Mat*)>;
    struct Way {
        std::string name;
        Match match;
        double tolerance = 1e-12;
        cv::Size tile = {INT_MAX, INT_MAX};
    };
    std::vector<Way> ways = {{"choice", [](auto& p, auto& t, Placement* b, cv::Mat* s) {
                                  return vision::FastMatch(p, t, b, s);
                              }}};
    const CorrelationChoice choices[] = {{kDirect, {}, 1},  {kDirect, {}, 4},  {kFft, {13, 9}},
                                         {kFft, {32, 32}},  {kFft, {64, 128}}, {kFft, {160, 48}},
                                         {kFft, {240, 180}}};
    vision::FastMatcher matcher;
    for (CorrelationChoice choice : choices) {
        for (choice.workers = 1; choice.workers <= 2; ++choice.workers) {
            ways.push_back({::testing::PrintToString(
                                std::tuple(choice.tile, choice.band_rows, choice.workers)),
                            [&matcher, choice](auto& p, auto& t, Placement* b, cv::Mat* s) {
                                return matcher.Match(choice, p, t, b, s);
                            },
                            1e-12, choice.method == kFft ? choice.tile : Way().tile});
        }
    }
    ways.push_back({"opencv",
                    [](auto& p, auto& t, Placement* b, cv::Mat* s) {
                        try {
                            vision::OpenCvMatch(p, t, b, s);
                        } catch (const cv::Exception&) {
                            return false;
                        }
                        return true;
                    },
                    1e-4});
    // A natural picture with a black band, a dark band (values up to 6), a saturated band and a
    // flat block; noise; and a picture of 13 x 9 for the templates that do not fit.
    cv::Mat mixed = NaturalPicture(150, 110);
    mixed(cv::Rect(0, 0, 150, 14)).setTo(cv::Scalar::all(0));
    Noise({150, 14}, 0, 7, 3).copyTo(mixed(cv::Rect(0, 14, 150, 14)));
    mixed(cv::Rect(0, 90, 150, 20)).setTo(cv::Scalar::all(255));
    mixed(cv::Rect(100, 30, 40, 40)).setTo(cv::Scalar(90, 120, 200));
    const cv::Mat noise = Noise({120, 90}, 0, 256, 11), small = noise(cv::Rect(0, 0, 13, 9));
    const auto flat = [](cv::Size size, cv::Scalar c) { return cv::Mat(size, CV_8UC3, c); };
    const struct {
        cv::Mat picture, templ;
        bool refused = false;
    } cases[] = {
        {mixed, mixed(cv::Rect(40, 50, 37, 23))},
        {mixed, mixed(cv::Rect(70, 60, 1, 1))},
        {mixed, mixed(cv::Rect(5, 40, 3, 2))},
        {mixed, mixed(cv::Rect(3, 2, 140, 104))},
        {mixed, mixed(cv::Rect(60, 15, 12, 10))},
        {mixed, mixed(cv::Rect(20, 8, 10, 12))},
        {mixed, flat({9, 5}, cv::Scalar::all(0))},
        {mixed, flat({16, 12}, cv::Scalar::all(255))},
        {mixed, flat({10, 10}, {90, 120, 200})},
        {mixed, flat({10, 10}, {45, 60, 100})},
        {mixed, mixed},
        {noise, noise(cv::Rect(50, 30, 16, 16))},
        {noise, Noise({11, 7}, 0, 256, 12)},
        {flat({40, 30}, {}), Noise({8, 8}, 0, 256, 13)},
        {noise, noise(cv::Rect(0, 0, 13, 9))},
        {noise, noise(cv::Rect(107, 0, 13, 9))},
        {noise, noise(cv::Rect(0, 81, 13, 9))},
        {noise, noise(cv::Rect(107, 81, 13, 9))},
        {small, small},
        {small, Noise({14, 9}, 0, 256, 14), true},
        {small, Noise({13, 10}, 0, 256, 15), true},
        {small, Noise({14, 10}, 0, 256, 16), true},
        {small, cv::Mat(), true},
        {small, cv::Mat(5, 5, CV_8UC1, cv::Scalar(9)), true},
    };
    std::vector<cv::Mat> exacts;  // each case's scores by the first way
    for (const auto& c : cases) {
        const cv::Mat direct = c.refused ? cv::Mat() : DirectScores(c.picture, c.templ);
        cv::Point place;  // the definition's best, and how far the runner-up lies below it
        double highest = 0, runner_up = 0;
        if (!c.refused) {
            cv::minMaxLoc(direct, nullptr, &highest, nullptr, &place);
            cv::Mat others = direct.clone();
            others.at<double>(place) = -1;
            cv::minMaxLoc(others, nullptr, &runner_up);
        }
        cv::Mat& exact = exacts.emplace_back();
        for (const Way& way : ways) {
            SCOPED_TRACE(way.name + " " + ::testing::PrintToString(c.picture.size()) +
                         ::testing::PrintToString(c.templ.size()));
            const bool refused =
                c.refused || c.templ.cols > way.tile.width || c.templ.rows > way.tile.height;
            Placement best{{-7, -7}, -7};
            cv::Mat scores;
            ASSERT_EQ(way.match(c.picture, c.templ, &best, &scores), !refused);
            cv::Point first(-7, -7);
            double top = -7;
            if (!refused) {
                scores.convertTo(scores, CV_64F);
                ASSERT_EQ(scores.size(), direct.size());
                EXPECT_LE(cv::norm(scores, direct, cv::NORM_INF), way.tolerance);
                cv::minMaxLoc(scores, nullptr, &top, nullptr, &first);
                EXPECT_NEAR(top, highest, 1e-5);
                EXPECT_TRUE(highest - runner_up < 1e-6 || first == place) << first << place;
                if (exact.empty()) exact = scores;
                EXPECT_EQ(way.tolerance < 1e-9 ? cv::norm(scores, exact, cv::NORM_INF) : 0, 0);
            }
            EXPECT_EQ(best.top_left, first);
            EXPECT_EQ(best.score, top);
        }
    }
    Placement best;
    const cv::Mat grey(5, 5, CV_8UC1, cv::Scalar(9));
    EXPECT_FALSE(vision::FastMatch(grey, grey, &best));

    // Two more matchers at once on two threads, each through every size and way in turn, so
    // that its buffers grow and are reused: every search gives the lone search's scores.
    std::atomic<int> wrong{0};
    const auto again = [&] {
        vision::FastMatcher own;
        Placement found;
        for (int pass = 0; pass < 2; ++pass) {
            for (std::size_t i = 0; i < exacts.size(); ++i) {
                for (CorrelationChoice choice : choices) {
                    choice.workers = 1 + pass % 2;
                    cv::Mat scores;
                    wrong += !exacts[i].empty() &&
                             own.Match(choice, cases[i].picture, cases[i].templ, &found, &scores) &&
                             cv::norm(scores, exacts[i], cv::NORM_INF) != 0;
                }
            }
        }
    };
    std::thread other(again);
    again();
    other.join();
    EXPECT_EQ(wrong, 0);
}

// Many small searches on two threads, so that a worker often waits for a step the other one
// is finishing: a lost wake-up would leave it asleep and the search would never return.
TEST(FastMatch, TwoWorkersAlwaysFinish) {
    const cv::Mat picture = NaturalPicture(96, 64);
    const cv::Mat templ = picture(cv::Rect(40, 20, 9, 7)).clone();
    vision::FastMatcher matcher;
    for (const CorrelationChoice choice :
         {CorrelationChoice{kFft, {32, 32}, 1, 2}, {kDirect, {}, 1, 2}}) {
        for (int i = 0; i < 2000; ++i) {
            Placement best;
            ASSERT_TRUE(matcher.Match(choice, picture, templ, &best, nullptr));
            ASSERT_EQ(best.top_left, cv::Point(40, 20));
        }
    }
}

}  // namespace
}  // namespace testing_support
