// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/event_maker.h"
#include "engine/script_encoding.h"
#include "tests/support/fake_desktop.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;
using Lines = std::vector<std::string>;

const auto Repeat = [](char c, std::size_t n) { return std::string(n, c); };

// Shift-JIS bytes: "メモ帳", and "ソ", whose second byte is 0x5C ("\\" in ASCII).
const std::string kMemoSjis = "\x83\x81\x83\x82\x92\xA0";
const std::string kSoSjis = "\x83\x5C";
const std::string kBom = "\xEF\xBB\xBF";

// The non-empty lines as read: line ends, NUL and Ctrl+Z, pieces of 1023 bytes, and the
// encoding, where a file that is not valid UTF-8 is Shift-JIS, converted after the lines are
// split.
TEST(Load, StoresNonEmptyLinesAsRead) {
    const struct {
        const char* name;
        std::string bytes;
        Lines expected;
    } cases[] = {
        {"Empty", "", {}},
        {"BlankLinesOnly", "\n\r\n\n", {}},
        {"NoFinalLineEnd", "CLK\nWAIT 5", {"CLK", "WAIT 5"}},
        {"CrLfReadsAsLf", "CLK\r\nWAIT 5\r\n", {"CLK", "WAIT 5"}},
        {"LoneCrStays", "A\rB\n", {"A\rB"}},
        {"CrBeforeCrLf", "A\r\r\nB", {"A\r", "B"}},
        {"CrAtEndOfFile", "A\r", {"A\r"}},
        {"SpacesAndTabsKept", "  \n\t\n CLK \n", {"  ", "\t", " CLK "}},
        {"NulCutsTheLine", std::string("MOV 1,2\0junk\nCLK\n", 17), {"MOV 1,2", "CLK"}},
        {"NulAtStartLeavesNothing", std::string("\0abc\nCLK\n", 9), {"CLK"}},
        {"CtrlZEndsTheFile", "CLK\nWAIT 1\x1A\nMOV 1,1\n", {"CLK", "WAIT 1"}},
        // Every byte value: the first line ends at its NUL, the second at 0x1A.
        {"Binary",
         [] {
             std::string bytes;
             for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i);
             return bytes;
         }(),
         {"\x0B\x0C\r\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19"}},
        {"ByteOrderMarkKept", kBom + "CLK\n", {kBom + "CLK"}},
        {"Exactly1023Bytes", Repeat('a', 1023) + "\nCLK\n", {Repeat('a', 1023), "CLK"}},
        {"1024BytesSplit", Repeat('b', 1024) + "\n", {Repeat('b', 1023), "b"}},
        {"CrOnlyFileIsOneLongLine",
         "CLK\r" + Repeat('c', 1030) + "\r",
         {"CLK\r" + Repeat('c', 1019), Repeat('c', 11) + "\r"}},
        {"CrLfAcrossReadBuffer", Repeat('x', 64 * 1024 - 1) + "\r\nCLK",
         [] {
             Lines lines(64, Repeat('x', 1023));
             lines.push_back(Repeat('x', 64 * 1024 - 1 - 64 * 1023));
             lines.push_back("CLK");
             return lines;
         }()},
        {"ShiftJisWithHalfWidthKatakanaAndCrs",
         "WIND " + kMemoSjis + "\r\nSTR \xB6\xC0\r\xB6\xC5\r\n",
         {"WIND メモ帳", "STR ｶﾀ\rｶﾅ"}},
        {"ShiftJisTrailByte5CIsNoBackslash",
         "WIND " + kSoSjis + "\x83\x74\x83\x67\nSTR C:\\dir\\" + kSoSjis + "\n",
         {"WIND ソフト", "STR C:\\dir\\ソ"}},
        {"Utf8KeptByteExact", "WIND メモ帳\r\nSTR ｶﾀｶﾅ\n", {"WIND メモ帳", "STR ｶﾀｶﾅ"}},
        {"Utf8CharacterCutByThePieceLengthStaysUtf8",
         Repeat('a', 1022) + "メ\n",
         {Repeat('a', 1022) + "\xE3", "\x83\xA1"}},
        {"OneInvalidLineMakesTheWholeFileShiftJis",
         "STR café\nWIND " + kMemoSjis + "\n",
         {"STR cafﾃｩ", "WIND メモ帳"}},
        // A lead byte with a bad second byte, an unassigned pair, a lead byte at the line end.
        {"BytesOfNoCharacterBecomeReplacementCharacters",
         "STR \x81 A\n\x85\x40\nSTR \x83\n",
         {"STR \uFFFD A", "\uFFFD@", "STR \uFFFD"}},
    };
    TempDir dir;
    testing_support::FakeDesktop desktop;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CEvent_Maker engine(desktop);
        ASSERT_TRUE(engine.Load(dir.Write("a.dat", c.bytes).string().c_str()));
        EXPECT_EQ(engine.GetCommands(), c.expected);
        EXPECT_TRUE(engine.GetLog().empty());
        EXPECT_TRUE(engine.GetErrorText().empty());
    }
    // What is not a readable regular file is refused, with no lines.
    std::filesystem::create_directory(dir.path() / "dir.dat");
    // A file that fails part-way (this process's memory, unmapped at its start) loads nothing
    // that could run as if complete.
    for (const char* refused : {"missing.dat", "dir.dat", "/proc/self/mem"}) {
        CEvent_Maker engine(desktop);
        const std::string path = refused[0] == '/' ? refused : dir.Path(refused);
        EXPECT_FALSE(engine.Load(path.c_str())) << refused;
        EXPECT_TRUE(engine.GetCommands().empty());
    }
}

// Shift-JIS text is rarely valid UTF-8, and only strict UTF-8 may keep a file unconverted.
TEST(LoadEncoding, Utf8CheckIsStrict) {
    const struct {
        std::string text;
        bool valid;
    } cases[] = {
        {"CLK \x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
        {"\x80", false},              // continuation byte first
        {"\xC0\xAF", false},          // overlong
        {"\xE0\x9F\xBF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xF5\x80\x80\x80", false},  // no such lead byte
        {"WIND \xE3\x83", false},     // cut off at the end
        {"\xE3\x41\xA1", false},      // ASCII inside a sequence
    };
    for (const auto& c : cases)
        EXPECT_EQ(engine::IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
}

}  // namespace
