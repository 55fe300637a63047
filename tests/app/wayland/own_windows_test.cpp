// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/own_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The views of one process in a tree: floating or tiled (also inside a floating container),
// in the scratchpad or not, the title bar counted in; other processes' views left out.
TEST(OwnViews, TellsFloatingTiledAndScratchpadViewsOfOneProcess) {
    const std::string view = R"({"type":"con","id":%ID,"pid":%PID,"rect":{"x":10,"y":30,
        "width":100,"height":50},"deco_rect":{"x":0,"y":0,"width":100,"height":%DECO}})";
    const auto make = [&](int id, int pid, int deco = 0) {
        std::string v = view;
        v.replace(v.find("%ID"), 3, std::to_string(id));
        v.replace(v.find("%PID"), 4, std::to_string(pid));
        v.replace(v.find("%DECO"), 5, std::to_string(deco));
        return v;
    };
    std::string floating = make(3, 7);
    floating.replace(floating.find("\"con\""), 5, "\"floating_con\"");
    const std::string tree = R"({"type":"root","nodes":[
        {"type":"workspace","name":"__i3_scratch","nodes":[],"floating_nodes":[)" +
                             make(2, 7) + R"(]},
        {"type":"workspace","name":"1","nodes":[)" +
                             make(1, 7, 20) + "," + make(9, 8) + R"(],"floating_nodes":[)" +
                             floating + R"(,{"type":"floating_con","nodes":[)" + make(4, 7) +
                             "]}]}]}";
    const auto views = platform::wayland::ParseOwnViews(tree, 7);
    ASSERT_TRUE(views);
    std::string seen;
    for (const auto& v : *views) {
        seen += std::to_string(v.id) + (v.floating ? " floating" : " tiled") +
                (v.in_scratchpad ? " hidden " : " shown ") + std::to_string(v.rect.top) + ";";
    }
    EXPECT_EQ(seen,
              "2 floating hidden 30;1 tiled shown 10;3 floating shown 30;4 floating shown 30;");
    EXPECT_FALSE(platform::wayland::ParseOwnViews("[1]", 7));
    EXPECT_FALSE(platform::wayland::ParseOwnViews(R"({"nodes":[{"type":"con","pid":7}]})", 7));
}

}  // namespace
