// SPDX-License-Identifier: GPL-3.0-or-later
// What the Wayland backend works out alone: the pixels of every shm format, the keymap its
// virtual keyboard uploads, and which backend the environment asks for.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>

#include <map>
#include <set>
#include <vector>

#include "input/typing_table.h"
#include "platform/choice/backend_choice.h"
#include "platform/session.h"
#include "platform/system/linux/keysyms.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/keymap.h"
#include "platform/wayland/pixel_formats.h"

namespace {

using platform::wayland::LayoutOf;

// One pixel's bytes as the compositor lays them out, and the colour they are.
TEST(ShmFormats, EachPacksItsChannelsWhereItsNameSays) {
    const struct {
        std::uint32_t format;
        std::vector<std::uint8_t> bytes;
        std::uint8_t r, g, b;
    } cases[] = {
        {WL_SHM_FORMAT_XRGB8888, {0x56, 0x34, 0x12, 0x00}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_ARGB8888, {0x56, 0x34, 0x12, 0x80}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_ABGR8888, {0x12, 0x34, 0x56, 0xFF}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_RGBX8888, {0x00, 0x56, 0x34, 0x12}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_BGRA8888, {0x00, 0x12, 0x34, 0x56}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_RGB888, {0x56, 0x34, 0x12}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_BGR888, {0x12, 0x34, 0x56}, 0x12, 0x34, 0x56},
        {WL_SHM_FORMAT_RGB565, {0x00, 0xF8}, 0xFF, 0x00, 0x00},
        {WL_SHM_FORMAT_RGB565, {0xE0, 0x07}, 0x00, 0xFF, 0x00},
        {WL_SHM_FORMAT_BGR565, {0x1F, 0x00}, 0xFF, 0x00, 0x00},
        {WL_SHM_FORMAT_RGB565, {0x10, 0x84}, 0x84, 0x82, 0x84},  // half of each, bits repeated
        {WL_SHM_FORMAT_XRGB1555, {0x00, 0x7C}, 0xFF, 0x00, 0x00},
        {WL_SHM_FORMAT_RGBA5551, {0x3E, 0x00}, 0x00, 0x00, 0xFF},
        {WL_SHM_FORMAT_XRGB4444, {0xF0, 0x00}, 0x00, 0xFF, 0x00},
        {WL_SHM_FORMAT_BGRX4444, {0x00, 0xA0}, 0x00, 0x00, 0xAA},
        {WL_SHM_FORMAT_RGB332, {0x03}, 0x00, 0x00, 0xFF},
        {WL_SHM_FORMAT_BGR233, {0x07}, 0xFF, 0x00, 0x00},
        {WL_SHM_FORMAT_XRGB2101010, {0x00, 0x00, 0xF0, 0x3F}, 0xFF, 0x00, 0x00},
        {WL_SHM_FORMAT_XBGR2101010, {0x00, 0x00, 0xF0, 0x3F}, 0x00, 0x00, 0xFF},
        {WL_SHM_FORMAT_RGBX1010102, {0xFC, 0x0F, 0x00, 0x00}, 0x00, 0x00, 0xFF},
        {WL_SHM_FORMAT_XRGB16161616, {0, 0, 0x00, 0x80, 0xFF, 0xFF, 0, 0}, 0xFF, 0x80, 0x00},
        {WL_SHM_FORMAT_ABGR16161616, {0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF}, 0xFF, 0x00, 0x00},
    };
    for (const auto& c : cases) {
        const auto layout = LayoutOf(c.format);
        ASSERT_TRUE(layout) << c.format;
        ASSERT_EQ(static_cast<std::size_t>(layout->bytes), c.bytes.size()) << c.format;
        // Two pixels, so that the step from one to the next is checked too.
        std::vector<std::uint8_t> row = c.bytes;
        row.insert(row.end(), c.bytes.begin(), c.bytes.end());
        std::uint8_t bgr[6] = {};
        platform::wayland::ToBgr(*layout, row.data(), 2, bgr);
        for (int i : {0, 3}) {
            EXPECT_EQ((std::vector<int>{bgr[i + 2], bgr[i + 1], bgr[i]}),
                      (std::vector<int>{c.r, c.g, c.b}))
                << "format " << c.format << " pixel " << i / 3;
        }
    }
    for (std::uint32_t unreadable :
         {WL_SHM_FORMAT_YUYV, WL_SHM_FORMAT_NV12, WL_SHM_FORMAT_C8, WL_SHM_FORMAT_XRGB16161616F}) {
        EXPECT_FALSE(LayoutOf(unreadable)) << unreadable;
    }
    EXPECT_TRUE(platform::wayland::IsBgrx(WL_SHM_FORMAT_XRGB8888));
    EXPECT_TRUE(platform::wayland::IsBgrx(WL_SHM_FORMAT_ARGB8888));
    EXPECT_FALSE(platform::wayland::IsBgrx(WL_SHM_FORMAT_XBGR8888));
    EXPECT_FALSE(platform::wayland::IsBgrx(WL_SHM_FORMAT_BGRX8888));
}

// The uploaded keymap, read back as a client reads it, types every byte of the typing table
// as itself (letters lower-case, as Windows types them without Shift).
TEST(VirtualKeymap, TypesEveryByteOfTheTypingTable) {
    std::string error;
    auto keymap = platform::wayland::VirtualKeymap::Build(error);
    ASSERT_TRUE(keymap) << error;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
    xkb_keymap* client = xkb_keymap_new_from_string(
        context, keymap->Text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_TRUE(client);
    xkb_state* state = xkb_state_new(client);
    const std::string bytes = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -?!,./";
    std::string typed;
    for (unsigned char byte : bytes) {
        const input::KeyStroke stroke = input::TypingStroke(byte, true);
        ASSERT_GT(stroke.count, 0) << byte;
        for (int i = 0; i < stroke.count; ++i) {
            const std::uint32_t code = keymap->CodeFor(stroke.steps[i].vk);
            ASSERT_NE(code, 0u) << "no key for virtual key " << int(stroke.steps[i].vk);
            const bool down = stroke.steps[i].down;
            // What the compositor passes on: the modifiers the keyboard sends with each key.
            const platform::wayland::Modifiers mods = keymap->Update(code, down);
            xkb_state_update_mask(state, mods.depressed, mods.latched, mods.locked, 0, 0,
                                  mods.group);
            if (!down) continue;
            char utf8[8] = {};
            xkb_state_key_get_utf8(state, code + 8, utf8, sizeof utf8);
            if (xkb_state_key_get_one_sym(state, code + 8) != XKB_KEY_Shift_L) typed += utf8;
        }
    }
    EXPECT_EQ(typed, "abcdefghijklmnopqrstuvwxyz0123456789 -?!,./");
    // With Shift held (OPE_ON SHIFT), letters and digits give their US shifted characters.
    xkb_state* shifted = xkb_state_new(client);
    const platform::wayland::Modifiers shift =
        keymap->Update(keymap->CodeFor(platform::vk::kShift), true);
    xkb_state_update_mask(shifted, shift.depressed, 0, 0, 0, 0, 0);
    std::string capitals;
    for (std::uint8_t vk : {std::uint8_t{'A'}, std::uint8_t{'M'}, std::uint8_t{'Z'},
                            std::uint8_t{'1'}, std::uint8_t{'2'}, platform::vk::kOemComma}) {
        char utf8[8] = {};
        xkb_state_key_get_utf8(shifted, keymap->CodeFor(vk) + 8, utf8, sizeof utf8);
        capitals += utf8;
    }
    EXPECT_EQ(capitals, "AMZ!@<");
    keymap->Update(keymap->CodeFor(platform::vk::kShift), false);
    xkb_state_unref(shifted);
    // Everything let go: no modifier stays down.
    EXPECT_EQ(xkb_state_serialize_mods(state, XKB_STATE_MODS_EFFECTIVE), 0u);
    xkb_state_unref(state);
    xkb_keymap_unref(client);
    xkb_context_unref(context);

    // Keys that give different keysyms never share a code; every named key has one.
    std::map<std::uint32_t, std::uint32_t> keysym_of_code;
    for (int vk = 0; vk < 256; ++vk) {
        const std::uint32_t code = keymap->CodeFor(static_cast<std::uint8_t>(vk));
        const std::uint32_t keysym = platform::KeysymForVirtualKey(static_cast<std::uint8_t>(vk));
        EXPECT_EQ(code != 0, keysym != 0) << vk;
        if (code == 0) continue;
        const auto [it, fresh] = keysym_of_code.emplace(code, keysym);
        EXPECT_TRUE(fresh || it->second == keysym)
            << "virtual key " << vk << " shares code " << code;
    }
    // Keys sit on the US keyboard's evdev codes, for programs that read the codes themselves.
    const std::pair<std::uint8_t, std::uint32_t> us_codes[] = {
        {'A', KEY_A},
        {'Z', KEY_Z},
        {'0', KEY_0},
        {'9', KEY_9},
        {0x60, KEY_KP0},
        {0x69, KEY_KP9},
        {0x70, KEY_F1},
        {0x7B, KEY_F12},
        {0x7C, KEY_F13},
        {0x87, KEY_F24},
        {platform::vk::kReturn, KEY_ENTER},
        {platform::vk::kRControl, KEY_RIGHTCTRL},
        {platform::vk::kLWin, KEY_LEFTMETA},
        {platform::vk::kSnapshot, KEY_SYSRQ},
        {platform::vk::kSeparator, KEY_KPCOMMA},
        {platform::vk::kOem2, KEY_SLASH}};
    for (const auto& [vk, code] : us_codes) EXPECT_EQ(keymap->CodeFor(vk), code) << int(vk);
}

TEST(BackendChoice, FollowsTheEnvironment) {
    using platform::Backend;
    const std::vector<Backend> wayland = {Backend::kWayland, Backend::kKWin, Backend::kX11};
    const std::vector<Backend> gnome = {Backend::kWayland, Backend::kKWin, Backend::kGnome,
                                        Backend::kX11};
    const struct {
        const char* forced;
        const char* wayland_display;
        const char* desktop;
        std::vector<Backend> order;
        bool error;
    } cases[] = {
        {nullptr, nullptr, nullptr, {Backend::kX11}, false},
        {nullptr, "", "GNOME", {Backend::kX11}, false},
        {nullptr, "wayland-1", nullptr, wayland, false},
        {"", "wayland-1", "KDE", wayland, false},
        {nullptr, "wayland-1", "GNOME", gnome, false},
        {nullptr, "wayland-1", "ubuntu:GNOME", gnome, false},
        {nullptr, "wayland-1", "GNOME-Classic:GNOME", gnome, false},
        {nullptr, "wayland-1", "GNOME-Flashback", wayland, false},
        {nullptr, "wayland-1", "gnome", wayland, false},
        {"kwin", nullptr, nullptr, {Backend::kKWin}, false},
        {"x11", "wayland-1", "GNOME", {Backend::kX11}, false},
        {"wayland", nullptr, nullptr, {Backend::kWayland}, false},
        {"Wayland", "wayland-1", nullptr, {}, true},
        {"gnome", nullptr, nullptr, {Backend::kGnome}, false},
        {"GNOME", "wayland-1", "GNOME", {}, true},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(platform::BackendsToTry(c.forced, c.wayland_display, c.desktop, error), c.order)
            << (c.forced ? c.forced : "(unset)") << " "
            << (c.wayland_display ? c.wayland_display : "(unset)") << " "
            << (c.desktop ? c.desktop : "(unset)");
        EXPECT_EQ(!error.empty(), c.error) << error;
        if (c.error) {
            EXPECT_NE(error.find("wayland, kwin, gnome or x11"), std::string::npos) << error;
        }
    }
}

// A Wayland session is told by WAYLAND_DISPLAY or by the session's type, either alone.
TEST(BackendChoice, TellsAWaylandSession) {
    const auto set = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    const struct {
        const char *display, *type;
        bool wayland;
    } cases[] = {{nullptr, nullptr, false}, {"", "x11", false},      {"wayland-0", nullptr, true},
                 {"", "wayland", true},     {nullptr, "tty", false}, {"wayland-1", "x11", true}};
    for (const auto& c : cases) {
        set("WAYLAND_DISPLAY", c.display);
        set("XDG_SESSION_TYPE", c.type);
        EXPECT_EQ(platform::InWaylandSession(), c.wayland)
            << (c.display ? c.display : "(unset)") << " " << (c.type ? c.type : "(unset)");
    }
}

}  // namespace
