// SPDX-License-Identifier: GPL-3.0-or-later
// What the GNOME backend works out alone: the pixels of each PipeWire format, the cut of a
// copy from the monitor's picture, and where the portal's restore token is kept.
#include <gtest/gtest.h>
#include <spa/param/video/raw.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/wayland/gnome/pipewire_frames.h"
#include "platform/wayland/gnome/restore_token.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::wayland::gnome::ChannelOffsets;
using platform::wayland::gnome::Frame;

// A frame of w x h whose pixel (x, y) has blue x, green y and red x + y, in the given layout,
// with a padded stride.
std::shared_ptr<Frame> MakeFrame(int w, int h, ChannelOffsets channels) {
    auto frame = std::make_shared<Frame>();
    frame->width = w;
    frame->height = h;
    frame->stride = w * 4 + 8;
    frame->channels = channels;
    frame->bytes.assign(frame->stride * h, 0xEE);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = frame->bytes.data() + y * frame->stride + x * 4;
            p[channels.blue] = static_cast<std::uint8_t>(x);
            p[channels.green] = static_cast<std::uint8_t>(y);
            p[channels.red] = static_cast<std::uint8_t>(x + y);
        }
    }
    return frame;
}

TEST(PipeWireFormats, TellWhereEachChannelLies) {
    const struct {
        std::uint32_t format;
        std::optional<ChannelOffsets> channels;
    } cases[] = {
        {SPA_VIDEO_FORMAT_BGRx, ChannelOffsets{0, 1, 2}},
        {SPA_VIDEO_FORMAT_BGRA, ChannelOffsets{0, 1, 2}},
        {SPA_VIDEO_FORMAT_RGBx, ChannelOffsets{2, 1, 0}},
        {SPA_VIDEO_FORMAT_RGBA, ChannelOffsets{2, 1, 0}},
        {SPA_VIDEO_FORMAT_xRGB, ChannelOffsets{3, 2, 1}},
        {SPA_VIDEO_FORMAT_ARGB, ChannelOffsets{3, 2, 1}},
        {SPA_VIDEO_FORMAT_xBGR, ChannelOffsets{1, 2, 3}},
        {SPA_VIDEO_FORMAT_ABGR, ChannelOffsets{1, 2, 3}},
        {SPA_VIDEO_FORMAT_RGB, std::nullopt},
        {SPA_VIDEO_FORMAT_NV12, std::nullopt},
        {SPA_VIDEO_FORMAT_UNKNOWN, std::nullopt},
    };
    for (const auto& c : cases) {
        ChannelOffsets got;
        EXPECT_EQ(platform::wayland::gnome::ChannelsOfVideoFormat(c.format, got),
                  c.channels.has_value())
            << c.format;
        if (c.channels) {
            EXPECT_EQ(got, *c.channels) << c.format;
        }
    }
}

// Every pixel of the copy is the frame's, or black beyond its edges, in every layout.
TEST(PipeWireFormats, CopiesCutTheAreaWithBlackBeyondTheEdges) {
    const ChannelOffsets layouts[] = {{0, 1, 2}, {2, 1, 0}, {3, 2, 1}, {1, 2, 3}};
    const struct {
        int left, top, width, height;
    } areas[] = {{0, 0, 9, 7}, {-2, -3, 5, 6}, {6, 4, 8, 8}, {3, 2, 1, 1}, {20, 20, 3, 3}};
    for (const ChannelOffsets& layout : layouts) {
        const auto frame = MakeFrame(9, 7, layout);
        for (const auto& a : areas) {
            platform::Bitmap copy;
            ASSERT_TRUE(platform::wayland::gnome::CopyFrameArea(frame, a.left, a.top, a.width,
                                                                a.height, copy));
            ASSERT_EQ(std::pair(copy.width, copy.height), std::pair(a.width, a.height));
            int misses = 0;
            for (int y = 0; y < a.height; ++y) {
                for (int x = 0; x < a.width; ++x) {
                    const int fx = a.left + x, fy = a.top + y;
                    const bool inside = fx >= 0 && fy >= 0 && fx < 9 && fy < 7;
                    const std::uint8_t* p =
                        std::as_const(copy).TopRow() + y * copy.pitch + x * copy.bytes_per_pixel;
                    const int want[3] = {inside ? fx : 0, inside ? fy : 0, inside ? fx + fy : 0};
                    misses += p[0] != want[0] || p[1] != want[1] || p[2] != want[2];
                }
            }
            EXPECT_EQ(misses, 0) << a.left << "," << a.top << " " << a.width << "x" << a.height
                                 << " blue at " << layout.blue;
        }
    }
    platform::Bitmap none;
    const auto frame = MakeFrame(4, 4, {0, 1, 2});
    EXPECT_FALSE(platform::wayland::gnome::CopyFrameArea(frame, 0, 0, 0, 4, none));
    EXPECT_FALSE(platform::wayland::gnome::CopyFrameArea(frame, 0, 0, 4, -1, none));
}

// A whole picture already in the bitmap's own order is lent, and outlives the frame's owner.
TEST(PipeWireFormats, AWholeBlueGreenRedPictureIsLent) {
    platform::Bitmap copy;
    {
        auto frame = MakeFrame(5, 3, {0, 1, 2});
        ASSERT_TRUE(platform::wayland::gnome::CopyFrameArea(frame, 0, 0, 5, 3, copy));
        EXPECT_EQ(copy.data(), frame->bytes.data());
    }
    EXPECT_EQ(copy.bytes_per_pixel, 4);
    EXPECT_EQ(copy.pitch, 5 * 4 + 8);
    const std::uint8_t* last = std::as_const(copy).TopRow() + 2 * copy.pitch + 4 * 4;
    EXPECT_EQ((std::vector<int>{last[0], last[1], last[2]}), (std::vector<int>{4, 2, 6}));
}

class RestoreToken : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        }
    }
    testing_support::TempDir dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(RestoreToken, IsKeptUnderTheUsersConfiguration) {
    const struct {
        const char* config;
        const char* home;
        std::string path;
    } cases[] = {
        {"/c", "/h", "/c/ravelkin/gnome-remote-desktop.token"},
        {nullptr, "/h", "/h/.config/ravelkin/gnome-remote-desktop.token"},
        {"relative", "/h", "/h/.config/ravelkin/gnome-remote-desktop.token"},
        {"", nullptr, ""},
    };
    for (const auto& c : cases) {
        c.config ? setenv("XDG_CONFIG_HOME", c.config, 1) : unsetenv("XDG_CONFIG_HOME");
        c.home ? setenv("HOME", c.home, 1) : unsetenv("HOME");
        EXPECT_EQ(platform::wayland::gnome::RestoreTokenPath(), c.path)
            << (c.config ? c.config : "(unset)");
    }
}

TEST_F(RestoreToken, IsWrittenForTheUserAloneAndReadBack) {
    namespace gnome = platform::wayland::gnome;
    const std::string path = dir_.Path("config/ravelkin/gnome-remote-desktop.token");
    EXPECT_EQ(gnome::ReadRestoreToken(path), "");
    ASSERT_TRUE(gnome::WriteRestoreToken(path, "a1b2-c3d4"));
    EXPECT_EQ(gnome::ReadRestoreToken(path), "a1b2-c3d4");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // A new token replaces the old; a token with spaces or control characters is refused and
    // leaves the old one.
    ASSERT_TRUE(gnome::WriteRestoreToken(path, "e5f6"));
    EXPECT_FALSE(gnome::WriteRestoreToken(path, "two words"));
    EXPECT_FALSE(gnome::WriteRestoreToken(path, std::string("a\nb")));
    EXPECT_EQ(gnome::ReadRestoreToken(path), "e5f6");
    // An empty token forgets it.
    ASSERT_TRUE(gnome::WriteRestoreToken(path, ""));
    EXPECT_EQ(gnome::ReadRestoreToken(path), "");
    // A file that holds something else is no token.
    std::ofstream(path) << "not\ta token\n";
    EXPECT_EQ(gnome::ReadRestoreToken(path), "");
    EXPECT_FALSE(gnome::WriteRestoreToken("", "abc"));
}

}  // namespace
