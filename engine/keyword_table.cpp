#include "engine/keyword_table.h"

const char* const g_keywordTable[kKeywordCount] = {
    "IMG_CLK_F", "IMG_CLK", "IMG_F",   "IMG",       "WIND_CLK", "WIND",       "MOV",
    "CLK",       "STR",     "OPE_ON",  "OPE_OFF",   "OPE",      "WAIT",       "DRAG",
    "DROP",      "RCLICK",  "CHK_IMG", "CHK_NOIMG", "CHK_WIND", "CHK_NOWIND", ";",
    "UP",        "DOWN",    "RIGHT",   "LEFT",      "BS",       "RET",        "WIN",
    "CTRL",      "ALT",     "DEL",     "PRT_SCR",   "ESC",
};

const std::int32_t g_keyCodes[kKeyNameCount] = {
    0x26,  // VK_UP
    0x28,  // VK_DOWN
    0x27,  // VK_RIGHT
    0x25,  // VK_LEFT
    0x08,  // VK_BACK
    0x0D,  // VK_RETURN
    0x5B,  // VK_LWIN
    0x11,  // VK_CONTROL
    0x12,  // VK_MENU
    0x2E,  // VK_DELETE
    0x2C,  // VK_SNAPSHOT
    0x1B,  // VK_ESCAPE
};

SplitLine SplitAtFirstSpace(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

std::optional<int> MatchKeyword(std::string_view keyword) {
    for (int i = 0; i <= kCommentIndex; ++i) {
        if (keyword == g_keywordTable[i]) return i;
    }
    return std::nullopt;
}

std::optional<int> FindKeyName(std::string_view text) {
    for (int k = 0; k < kKeyNameCount; ++k) {
        if (text.find(g_keywordTable[kFirstKeyName + k]) != std::string_view::npos) return k;
    }
    return std::nullopt;
}
