// Scripts no user meant to write: binary files, huge files and lines, numbers beyond 32 bits,
// areas at the ends of the integer range. Each ends with a clear result, nothing crashes or
// waits for days.
#include <gtest/gtest.h>

#include <string>

#include "engine/event_maker.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::FakeDesktop;
using testing_support::ScopedCurrentDir;
using testing_support::TempDir;

struct BadScript {
    const char* name;
    std::string bytes;
    int result;
    std::string error;  // m_error after the run
    std::size_t lines;  // entries of the command list
};

std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes + bytes;
}

std::string ManyComments(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "; c\n";
    return text;
}

std::string ArgError(const std::string& line) {
    return "STRING's ARG ERROR : " + line;
}

TEST(BadScripts, EndWithAClearResult) {
    const std::string tenMegabytes = "STR " + std::string(10 * 1024 * 1024, 'A');
    const BadScript cases[] = {
        // The first line is cut at its NUL and skipped; 0x1A ends the file after the second,
        // whose keyword matches nothing.
        {"binary", AllBytes(), -1, "", 1},
        {"a million lines", ManyComments(1'000'000), 0, "", 1'000'000},
        // One 10 MB line: pieces of 1023 bytes; the first types, the second matches nothing.
        {"one 10 MB line", tenMegabytes, -1, "", (tenMegabytes.size() + 1022) / 1023},
        {"huge MOV", "MOV 1,99999999999\n", -1, ArgError("MOV 1,99999999999"), 1},
        {"huge negative WAIT", "WAIT -99999999999\n", -1, ArgError("WAIT -99999999999"), 1},
        {"huge image number", "IMG_F 4294967296,0,0,10,10,50\n", -1,
         ArgError("IMG_F 4294967296,0,0,10,10,50"), 1},
        {"huge area silently", "IMG_CLK 1,0,0,99999999999,10,50\n", -1, "", 1},
        {"missing numbers", "CHK_IMG 1,0,0\n", -1, "", 1},
        {"extra numbers are ignored", "MOV 1,2,3\nWAIT 5 6\nIMG 1,0,0,9,9,50,7,8\n", 0, "", 3},
        {"negative image number", "IMG -5,0,0,10,10,50\n", 0, "", 1},
        {"area at the ends of the range",
         "IMG 1,-2147483648,-2147483648,2147483647,2147483647,50\n"
         "IMG 1,2147483647,2147483647,-2147483648,-2147483648,50\n",
         0, "", 2},
    };
    TempDir dir;
    ScopedCurrentDir cwd(dir.path());
    // A 2 x 2 black template, so that searches really run.
    dir.Write("Images/1.bmp", std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0"
                                          "\x02\0\0\0\x01\0\x18\0",
                                          30) +
                                  std::string(24 + 16, '\0'));
    for (const auto& c : cases) {
        FakeDesktop desktop;
        dir.Write("bad.dat", c.bytes);
        CEvent_Maker engine;
        ASSERT_TRUE(engine.Load("bad.dat")) << c.name;
        EXPECT_EQ(engine.m_commands.size(), c.lines) << c.name;
        EXPECT_EQ(engine.RunList(), c.result) << c.name;
        EXPECT_EQ(engine.m_error, c.error) << c.name;
        EXPECT_EQ(desktop.now_ms, c.result == 0 && c.name[0] == 'e' ? 5u : 0u) << c.name;
    }
}

// Template files that are not what they claim: each search fails cleanly and leaves the
// out-places alone; none makes the decoder reserve memory for a picture it does not hold.
TEST(BadTemplates, FailTheSearchCleanly) {
    const std::string header = std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18);
    const auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
    };
    const std::string depth24 = std::string("\x01\0\x18\0", 4) + std::string(24, '\0');
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"zero-sized", ""},
        {"truncated", header + le32(2) + le32(2) + depth24.substr(0, 6)},
        {"claims 100000 x 100000", header + le32(100000) + le32(100000) + depth24},
        {"claims 30000 x 30000", header + le32(30000) + le32(30000) + depth24},
        {"not a picture", "plain text, not a bitmap"},
    };
    TempDir dir;
    FakeDesktop desktop(640, 480);
    for (const auto& c : cases) {
        const auto path = dir.Write("Images/1.bmp", c.bytes);
        int x = -7, y = -7;
        double score = -7;
        CEvent_Maker engine;
        EXPECT_FALSE(engine.FindImage(&x, &y, &score, {0, 0, 640, 480}, path.string().c_str()))
            << c.name;
        EXPECT_EQ(x + y, -14) << c.name;
        EXPECT_EQ(score, -7) << c.name;
    }
    std::filesystem::remove(dir.path() / "Images/1.bmp");
    std::filesystem::create_directory(dir.path() / "Images/1.bmp");
    int x = 0, y = 0;
    double score = 0;
    CEvent_Maker engine;
    EXPECT_FALSE(engine.FindImage(&x, &y, &score, {0, 0, 640, 480},
                                  (dir.path() / "Images/1.bmp").string().c_str()));
}

}  // namespace
