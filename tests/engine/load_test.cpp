#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;
using Lines = std::vector<std::string>;

struct LoadCase {
    const char* name;
    std::string bytes;
    Lines expected;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

class LoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, StoresNonEmptyLinesAsRead) {
    TempDir dir;
    const auto file = dir.Write("a.dat", GetParam().bytes);
    CEvent_Maker engine;
    ASSERT_TRUE(engine.Load(file.string().c_str()));
    EXPECT_EQ(engine.m_commands, GetParam().expected);
    EXPECT_TRUE(engine.m_log.empty());
    EXPECT_TRUE(engine.m_error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTest,
    ::testing::Values(
        LoadCase{"Empty", "", {}}, LoadCase{"BlankLinesOnly", "\n\r\n\n", {}},
        LoadCase{"NoFinalLineEnd", "CLK\nWAIT 5", {"CLK", "WAIT 5"}},
        LoadCase{"CrLfReadsAsLf", "CLK\r\nWAIT 5\r\n", {"CLK", "WAIT 5"}},
        LoadCase{"LoneCrStays", "A\rB\n", {"A\rB"}},
        LoadCase{"CrBeforeCrLf", "A\r\r\nB", {"A\r", "B"}},
        LoadCase{"CrAtEndOfFile", "A\r", {"A\r"}},
        LoadCase{"SpacesAndTabsKept", "  \n\t\n CLK \n", {"  ", "\t", " CLK "}},
        LoadCase{"NulCutsTheLine", std::string("MOV 1,2\0junk\nCLK\n", 17), {"MOV 1,2", "CLK"}},
        LoadCase{"NulAtStartLeavesNothing", std::string("\0abc\nCLK\n", 9), {"CLK"}},
        LoadCase{"CtrlZEndsTheFile", "CLK\nWAIT 1\x1A\nMOV 1,1\n", {"CLK", "WAIT 1"}},
        LoadCase{"ByteOrderMarkKept",
                 "\xEF\xBB\xBF"
                 "CLK\n",
                 {"\xEF\xBB\xBF"
                  "CLK"}},
        LoadCase{"Exactly1023Bytes", Repeat('a', 1023) + "\nCLK\n", {Repeat('a', 1023), "CLK"}},
        LoadCase{"1024BytesSplit", Repeat('b', 1024) + "\n", {Repeat('b', 1023), "b"}},
        LoadCase{"CrOnlyFileIsOneLongLine",
                 "CLK\r" + Repeat('c', 1030) + "\r",
                 {"CLK\r" + Repeat('c', 1019), Repeat('c', 11) + "\r"}},
        LoadCase{"CrLfAcrossReadBuffer", Repeat('x', 64 * 1024 - 1) + "\r\nCLK",
                 [] {
                     Lines lines(64, Repeat('x', 1023));
                     lines.push_back(Repeat('x', 64 * 1024 - 1 - 64 * 1023));
                     lines.push_back("CLK");
                     return lines;
                 }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadFailure, RefusesWhatIsNotAReadableRegularFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "dir.dat");
    for (const auto& path : {dir.path() / "missing.dat", dir.path() / "dir.dat"}) {
        CEvent_Maker engine;
        EXPECT_FALSE(engine.Load(path.string().c_str())) << path;
        EXPECT_TRUE(engine.m_commands.empty());
    }
}

TEST(LoadFailure, EmptyFileRunsToCompletion) {
    TempDir dir;
    CEvent_Maker engine;
    ASSERT_TRUE(engine.Load(dir.Write("e.dat", "\n\n").string().c_str()));
    EXPECT_EQ(engine.RunList(), 0);
}

}  // namespace
