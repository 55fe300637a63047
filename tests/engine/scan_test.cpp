// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <tuple>

#include "engine/commands.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

// Every integer field of every scanner reads the same syntax: white space, a sign, digits, and
// nothing that does not fit 32 bits; text after the last field is ignored.
TEST(Scanners, IntegersAsTheFormattedScanReadsThemWithin32Bits) {
    const struct {
        std::string text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0},
        {"+7", 7},
        {"-7", -7},
        {"  \t12", 12},
        {"2147483647", 2147483647},
        {"-2147483648", kMin},
        {"2147483648", {}},
        {"-2147483649", {}},
        {"99999999999999999999999", {}},
        {"00000000000000000000042", 42},
        {"12abc", 12},
        {"12.9", 12},
        {"1e3", 1},
        {"abc", {}},
        {"", {}},
        {"+", {}},
        {"- 5", {}},
        {"--5", {}},
        {"0x10", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        const auto wait = engine::ScanWaitArgs(c.text);
        EXPECT_EQ(wait, c.value);
        // The same field as the second number of MOV, and as the image number.
        const auto mov = engine::ScanMovArgs("5," + c.text);
        EXPECT_EQ(mov ? std::optional(mov->y) : std::nullopt, c.value);
        // A number that does not scan refuses the whole image line too.
        if (!c.value) {
            EXPECT_FALSE(engine::ScanImageArgs(c.text + ",0,0,10,10,90"));
        }
    }
}

// The threshold is a real number: signs and exponents of both signs, values beyond a double
// (infinity, or zero for a tiny one), and text after it ignored. Before it, a comma must follow
// each number at once, and every field is needed.
TEST(Scanners, ImageFieldsAndRealThresholds) {
    const struct {
        std::string text;
        std::optional<double> value;
    } cases[] = {
        {"90", 90.0},     {"+90", 90.0},
        {"-0.5", -0.5},   {"95.5", 95.5},
        {".5", 0.5},      {"5.", 5.0},
        {"9.5e1", 95.0},  {"9.5E+1", 95.0},
        {"950e-1", 95.0}, {"-9.5e1", -95.0},
        {"1e400", kInf},  {"-1e400", -kInf},
        {"1e-400", 0.0},  {"+1e-400", 0.0},
        {"90abc", 90.0},  {"90 e-5", 90.0},
        {"  \t90", 90.0}, {"abc", {}},
        {"", {}},         {"+", {}},
        {"e5", {}},       {"1" + std::string(400, '0') + " e-9", kInf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        const auto image = engine::ScanImageArgs("1,0,0,10,10," + c.text);
        EXPECT_EQ(image ? std::optional(image->threshold) : std::nullopt, c.value);
    }
    const auto nan = engine::ScanImageArgs("1,0,0,10,10,nan");
    EXPECT_TRUE(nan && std::isnan(nan->threshold));
    const auto area = engine::ScanImageArgs("3,-10,20,-2147483648,2147483647,95.5 rest");
    ASSERT_TRUE(area);
    EXPECT_EQ(std::tuple(area->image, area->area.left, area->area.top, area->area.right,
                         area->area.bottom, area->threshold),
              std::tuple(3, -10, 20, kMin, 2147483647, 95.5));
    for (const char* wrong : {"3,0,0,10,10", "3,0,0,10,10,", "3,0,0,10,10 ,90"}) {
        EXPECT_FALSE(engine::ScanImageArgs(wrong)) << wrong;
    }
}

}  // namespace
