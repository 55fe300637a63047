// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/vision/vision_support.h"
#include "vision/find_image.h"
#include "vision/matcher/correlation_choice.h"
#include "vision/matcher/fast_matcher.h"
#include "vision/matcher/normalised_score.h"
#include "vision/matcher/pruned_search.h"

namespace testing_support {
namespace {

using vision::Placement;

// A search against a threshold must give the exhaustive search's verdict, and when it finds,
// the same placement and score to the last bit.
void ExpectSameAnswer(vision::FastMatcher& matcher, const cv::Mat& screen, const cv::Mat& templ,
                      const Placement& all, double threshold) {
    Placement found{{-7, -7}, -7};
    vision::Verdict verdict = vision::Verdict::kBelow;
    ASSERT_TRUE(matcher.FindAbove(screen, templ, threshold, &found, &verdict));
    const bool above = verdict == vision::Verdict::kAbove;
    EXPECT_EQ(above, vision::ScoreAccepted(all.score, threshold))
        << all.score << " against " << threshold;
    if (verdict == vision::Verdict::kBelow) return;
    EXPECT_EQ(found.top_left, all.top_left);
    EXPECT_EQ(found.score, all.score);
}

// Real screens at full HD and 4K, captured from real programs: templates cut where the screen
// is busiest (a button, text), flattest (background) and anywhere, of several sizes; the busiest
// also with noise, with one pixel changed, as it looks on another screen, and in the corners.
// Thresholds from 80 to 100, and a hair either side of the best score. Flat areas and repeated
// patterns, where many placements score alike, are among them; the next test has the extremes.
TEST(PrunedSearch, AnswersAsTheExhaustiveSearchOnRealScreens) {
    const std::string names[] = {"hd-terminals", "hd-dialogs", "hd-browser", "4k-desktop",
                                 "4k-browser"};
    const cv::Size sizes[] = {{48, 48}, {64, 32}, {24, 24}, {96, 40}, {40, 64}};
    vision::FastMatcher matcher;
    cv::RNG rng(20);
    cv::Mat previous;
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const cv::Mat screen = RealScreen(names[i]);
        ASSERT_FALSE(screen.empty()) << names[i];
        const cv::Size size = sizes[i];
        const cv::Rect busiest = SpreadPatch(screen, size, true);
        const cv::Point anywhere(rng.uniform(0, screen.cols - size.width),
                                 rng.uniform(0, screen.rows - size.height));
        std::vector<cv::Mat> templates = {screen(busiest).clone(),
                                          screen(SpreadPatch(screen, size, false)).clone(),
                                          screen(cv::Rect(anywhere, size)).clone()};
        cv::Mat noisy = templates[0].clone(), noise(size, CV_8UC3);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 12);
        templates.push_back(noisy += noise);
        templates.push_back(templates[0].clone());
        templates.back().at<cv::Vec3b>(size.height / 2, size.width / 3) = {255, 0, 128};
        if (!previous.empty())
            templates.push_back(previous(SpreadPatch(previous, size, true)).clone());
        for (const cv::Mat& templ : templates) {
            SCOPED_TRACE(names[i] + " " + ::testing::PrintToString(templ.size()));
            Placement all;
            ASSERT_TRUE(matcher.Match(screen, templ, &all));
            const double best = all.score * 100;
            for (const double threshold :
                 {80.0, 90.0, 95.0, 99.0, 100.0, best - 1e-4, best, best + 1e-4}) {
                ExpectSameAnswer(matcher, screen, templ, all, threshold);
            }
        }
        // The first and last placements of the rows and columns: the busiest patch also at the
        // top right (the first of two equals), the one with a changed pixel at the bottom right.
        cv::Mat corners = screen.clone();
        templates[0].copyTo(corners(cv::Rect(cv::Point(screen.cols - size.width, 0), size)));
        templates[4].copyTo(corners(
            cv::Rect(cv::Point(screen.cols - size.width, screen.rows - size.height), size)));
        for (const cv::Mat& templ : {templates[0], templates[4]}) {
            Placement all;
            ASSERT_TRUE(matcher.Match(corners, templ, &all));
            ExpectSameAnswer(matcher, corners, templ, all, 95);
        }
        previous = screen;
    }
}

// Where many placements score alike: a flat screen (every window of the template's colour
// scores 1), a row of identical buttons on a real screen (the first one wins), a flat template
// over a busy screen, black windows and a black template (score 0), and a picture only as large
// as the template.
TEST(PrunedSearch, AnswersAsTheExhaustiveSearchWhereScoresTie) {
    const cv::Mat dialogs = RealScreen("hd-dialogs");
    ASSERT_FALSE(dialogs.empty());
    const cv::Rect button = SpreadPatch(dialogs, {40, 24}, true);
    cv::Mat buttons = dialogs.clone();
    for (int i = 0; i < 12; ++i) {
        dialogs(button).copyTo(
            buttons(cv::Rect(cv::Point(200 + 60 * i, 900 - (i % 3)), button.size())));
    }
    const cv::Mat flat(1080, 1920, CV_8UC3, cv::Scalar(200, 180, 160));
    cv::Mat half_black = dialogs.clone();
    half_black(cv::Rect(0, 0, 1920, 540)).setTo(cv::Scalar::all(0));
    const struct {
        cv::Mat screen, templ;
    } cases[] = {
        {flat, flat(cv::Rect(0, 0, 32, 32))},
        {flat, dialogs(button)},
        {buttons, dialogs(button)},
        {dialogs, cv::Mat(24, 24, CV_8UC3, cv::Scalar(200, 180, 160))},
        {half_black, cv::Mat(16, 16, CV_8UC3, cv::Scalar::all(0))},
        {half_black, dialogs(button)},
        {dialogs(button), dialogs(button)},
    };
    vision::FastMatcher matcher;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.screen.size()) +
                     ::testing::PrintToString(c.templ.size()));
        Placement all;
        ASSERT_TRUE(matcher.Match(c.screen, c.templ, &all));
        for (const double threshold : {0.0, 50.0, 80.0, 95.0, 99.9, 100.0}) {
            ExpectSameAnswer(matcher, c.screen, c.templ, all, threshold);
        }
    }
}

// The work the bounds leave: where the template was cut from the screen, a few dozen exact
// scores among two million placements; on a flat screen, where every placement ties, the
// search hands over after scoring a few dozen, before it has bounded many. A search that
// handed over leaves nothing behind that keeps the next one from pruning.
TEST(PrunedSearch, LeavesFewPlacementsToScoreAndGivesUpEarlyWhereAllTie) {
    const cv::Mat flat(1080, 1920, CV_8UC3, cv::Scalar(200, 180, 160));
    const struct {
        cv::Mat screen, templ;
        vision::PrunedSearch::Outcome outcome;
    } cases[] = {
        {flat, flat(cv::Rect(0, 0, 48, 48)), vision::PrunedSearch::Outcome::kTooMany},
        {RealScreen("hd-dialogs"), {}, vision::PrunedSearch::Outcome::kFound},
        {RealScreen("hd-browser"), {}, vision::PrunedSearch::Outcome::kFound},
        {flat, flat(cv::Rect(0, 0, 48, 48)), vision::PrunedSearch::Outcome::kTooMany},
        {RealScreen("hd-terminals"), {}, vision::PrunedSearch::Outcome::kFound},
    };
    vision::PrunedSearch search;
    for (const auto& c : cases) {
        const cv::Mat templ =
            c.templ.empty() ? c.screen(SpreadPatch(c.screen, {48, 48}, true)) : c.templ;
        for (const int workers : {1, 2}) {
            search.Reserve(workers, c.screen.size(), templ.size());
            Placement best;
            EXPECT_EQ(search.Run(c.screen, templ, 95, workers, 1000000, &best), c.outcome);
            EXPECT_LT(search.scored(), 100);
            if (c.outcome == vision::PrunedSearch::Outcome::kTooMany) {
                EXPECT_LT(search.bounded(), 5000);
            }
        }
    }
}

// The largest templates the bounds take, light ones on a light screen: the sums of squares of
// their windows pass 2^31, and must still be read exactly.
TEST(PrunedSearch, ReadsWindowSumsPast2To31Exactly) {
    const cv::Mat dialogs = RealScreen("hd-dialogs");
    ASSERT_FALSE(dialogs.empty());
    const cv::Mat templ = dialogs(SpreadPatch(dialogs, {148, 148}, true));
    ASSERT_TRUE(vision::PrunedSearch::Fits(templ.size()));
    ASSERT_GT(vision::SquareSum(templ), std::int64_t{1} << 31);
    vision::FastMatcher matcher;
    Placement all;
    ASSERT_TRUE(matcher.Match(dialogs, templ, &all));
    vision::PrunedSearch search;
    for (const int workers : {1, 2}) {
        search.Reserve(workers, dialogs.size(), templ.size());
        Placement best;
        ASSERT_EQ(search.Run(dialogs, templ, 95, workers, 1000000, &best),
                  vision::PrunedSearch::Outcome::kFound);
        EXPECT_EQ(best.top_left, all.top_left);
        EXPECT_EQ(best.score, all.score);
    }
}

// Pruning is chosen by the threshold and the work: not for thresholds too low to prune (or
// not numbers), with both cores only where the scan is long, with a budget of exact scores
// below the exhaustive search's cost.
TEST(ChoosePruning, WeighsTheThresholdAndTheWork) {
    const struct {
        cv::Size picture;
        double threshold;
        int cores;
        bool worth;
        int workers;
    } cases[] = {
        {{1920, 1080}, 95, 2, true, 2},  {{1920, 1080}, 50, 2, true, 2},
        {{1920, 1080}, 49, 2, false, 2}, {{1920, 1080}, NAN, 2, false, 1},
        {{1920, 1080}, 95, 1, true, 1},  {{7680, 2160}, 99, 2, true, 2},
        {{200, 150}, 95, 2, true, 1},
    };
    const cv::Size templ(48, 48);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.picture) + " " + std::to_string(c.threshold));
        const vision::CorrelationChoice exhaustive =
            vision::ChooseCorrelation(c.picture, templ, c.cores);
        const vision::PruningChoice choice =
            vision::ChoosePruning(c.picture, templ, c.threshold, c.cores, exhaustive);
        EXPECT_EQ(choice.worth, c.worth);
        if (!c.worth) continue;
        EXPECT_EQ(choice.workers, c.workers);
        EXPECT_GT(choice.budget, 0);
        EXPECT_LT(choice.budget, (c.picture.width - 47) * (c.picture.height - 47) / 4);
    }
}

// Through FindImage: a search against a threshold finds what the plain search finds; one that
// finds nothing gives the best score only when asked for it (a report), and 0 otherwise.
TEST(FindImage, AgainstAThresholdGivesTheBestScoreOnlyWhenAsked) {
    Scene scene;
    const platform::Rect area = {0, 0, 1920, 1080};
    const auto matcher = std::make_shared<vision::Matcher>();
    const vision::ImageSearch plain =
        vision::FindImage(scene.desktop, area, ImagePath("1"), matcher);
    ASSERT_TRUE(plain.searched());
    for (const bool best_always : {false, true}) {
        const vision::ImageSearch found =
            vision::FindImage(scene.desktop, area, ImagePath("1"), matcher, 95, best_always);
        EXPECT_EQ(found.centre, plain.centre);
        EXPECT_EQ(found.score, plain.score);
    }
    WriteTemplate(scene.dir, 1, RealScreen("hd-dialogs")(cv::Rect(790, 395, 48, 48)));
    const vision::ImageSearch best =
        vision::FindImage(scene.desktop, area, ImagePath("1"), matcher);
    const vision::ImageSearch told =
        vision::FindImage(scene.desktop, area, ImagePath("1"), matcher, 99.9, true);
    const vision::ImageSearch untold =
        vision::FindImage(scene.desktop, area, ImagePath("1"), matcher, 99.9, false);
    ASSERT_TRUE(best.searched() && told.searched() && untold.searched());
    ASSERT_FALSE(vision::ScoreAccepted(best.score, 99.9));
    EXPECT_EQ(told.score, best.score);
    EXPECT_EQ(told.centre, best.centre);
    EXPECT_EQ(untold.score, 0);
}

}  // namespace
}  // namespace testing_support
