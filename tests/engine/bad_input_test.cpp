// Scripts no user meant to write: binary files, numbers beyond 32 bits, areas at the ends of
// the integer range. Each ends with a clear result, nothing crashes or
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

TEST(BadScripts, EndWithAClearResult) {
    const BadScript cases[] = {
        // The first line is cut at its NUL and skipped; 0x1A ends the file after the second,
        // whose keyword matches nothing.
        {"binary", AllBytes(), -1, "", 1},
        {"huge image number", "IMG_F 4294967296,0,0,10,10,50\n", -1,
         "STRING's ARG ERROR : IMG_F 4294967296,0,0,10,10,50", 1},
        {"extra numbers are ignored", "MOV 1,2,3\nWAIT 5 6\nIMG 1,0,0,9,9,50,7,8\n", 0, "", 3},
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
        CEvent_Maker engine(desktop);
        ASSERT_TRUE(engine.Load("bad.dat")) << c.name;
        EXPECT_EQ(engine.m_commands.size(), c.lines) << c.name;
        EXPECT_EQ(engine.RunList(), c.result) << c.name;
        EXPECT_EQ(engine.m_error, c.error) << c.name;
        EXPECT_EQ(desktop.now_ms, c.result == 0 && c.name[0] == 'e' ? 5u : 0u) << c.name;
    }
}

}  // namespace
