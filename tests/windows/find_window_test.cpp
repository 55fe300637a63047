// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_desktop.h"
#include "windows/find_window.h"

namespace {

using testing_support::FakeDesktop;

TEST(FindWindowByTitle, LastMatchWithinTheFirst99BytesWins) {
    const std::string padding(94, 'x');
    const struct {
        std::vector<std::string> titles;
        const char* text;
        int found;  // 1-based window, 0: none
    } cases[] = {
        {{"Notes - a", "Mail", "Notes - b", "Calc"}, "Notes", 3},
        {{"Notes", "", "Mail"}, "", 3},
        {{"Notes"}, "notes", 0},
        {{padding + "Notes"}, "Notes", 1},  // ends on byte 99
        {{padding + "xNotes"}, "Notes", 0},
        {{std::string("abc\0Notes", 9)}, "Notes", 0},
        {{"日本語のメモ"}, "メモ", 1},
        {{"日本"}, "\x97\xA5", 0},            // bytes from inside a character
        {{"\xFF\xFENotes\x80"}, "Notes", 1},  // titles that are not valid UTF-8
        {{"a\xFFz"}, "\xFFz", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        FakeDesktop desktop;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(c.titles.size()); ++i) {
            desktop.windows.push_back({c.titles[i], false, platform::Rect{i, i, i + 5, i + 6}});
        }
        const auto match = windows::FindWindowByTitle(desktop, c.text);
        EXPECT_EQ(match ? match->rect.left + 1 : 0, c.found);  // each window's left is its index
    }
    // A minimised window is found; one whose rectangle cannot be read is not.
    FakeDesktop desktop;
    desktop.windows = {{"Notes", true, platform::Rect{-32000, -32000, -31840, -31972}},
                       {"Mail", false, std::nullopt}};
    EXPECT_FALSE(windows::FindWindowByTitle(desktop, "Mail"));
    const auto notes = windows::FindWindowByTitle(desktop, "Notes");
    EXPECT_TRUE(notes && notes->minimised && notes->rect.left == -32000);
}

// CHK_WIND of the piece finds the window among the others, and reads as a name.
TEST(UniqueTitlePiece, FewestTellingWordsNoOtherTitleHolds) {
    const struct {
        const char* title;
        std::vector<std::string> others;
        const char* piece;
    } cases[] = {
        {"Calculator", {"xterm"}, "Calculator"},
        {"Report.txt - Notes", {"Notes", "Mail"}, "Report.txt"},
        {"Notes - Editor", {"Mail - Editor", "Notes"}, "Notes - Editor"},
        {"a | Mail | b", {}, "Mail"},
        {"ab cd", {}, "ab cd"},
        {"Same", {"Same"}, "Same"},
        {"日本語 メモ", {"メモ帳"}, "日本語"},
        {"", {"x"}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(windows::UniqueTitlePiece(c.title, c.others), c.piece) << c.title;
    }
}

}  // namespace
