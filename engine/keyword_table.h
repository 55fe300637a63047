#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Command keywords (0-19, their indices are the command numbers), the comment marker (20)
// and the key names (21-32).
inline constexpr int kKeywordCount = 33;
inline constexpr int kCommentIndex = 20;
inline constexpr int kFirstKeyName = 21;
inline constexpr int kKeyNameCount = 12;

extern const char* const g_keywordTable[kKeywordCount];
// Virtual-key codes of the key names, parallel to entries 21-32.
extern const std::int32_t g_keyCodes[kKeyNameCount];

enum Command : int {
    kImgClkF = 0,
    kImgClk = 1,
    kImgF = 2,
    kImg = 3,
    kWindClk = 4,
    kWind = 5,
    kMov = 6,
    kClk = 7,
    kStr = 8,
    kOpeOn = 9,
    kOpeOff = 10,
    kOpe = 11,
    kWait = 12,
    kDrag = 13,
    kDrop = 14,
    kRClick = 15,
    kChkImg = 16,
    kChkNoImg = 17,
    kChkWind = 18,
    kChkNoWind = 19,
    kComment = 20,
};

// A stored line split at its first space: keyword before it, argument text after it.
struct SplitLine {
    std::string_view keyword;
    std::string_view args;
};
SplitLine SplitAtFirstSpace(std::string_view line);

// Exact, case-sensitive match against entries 0-20.
std::optional<int> MatchKeyword(std::string_view keyword);

// The first key name in table order that occurs anywhere in text, as 0-11.
std::optional<int> FindKeyName(std::string_view text);
