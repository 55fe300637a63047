// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/commands.h"
#include "platform/virtual_keys.h"

namespace engine {

// One entry a command: its keyword, its handler for a run and its check for --check. Its
// argument scanner, handler and check stand side by side in the command's own file.
struct CommandEntry {
    std::string_view keyword;
    Command command;
    RunHandler run;
    CheckHandler check;
};

// The script vocabulary: a line's keyword selects the entry that equals it exactly.
inline constexpr CommandEntry kCommandTable[] = {
    {"IMG_CLK_F", Command::kImgClkF, &RunImageCommand, &CheckImageCommand},
    {"IMG_CLK", Command::kImgClk, &RunImageCommand, &CheckImageCommand},
    {"IMG_F", Command::kImgF, &RunImageCommand, &CheckImageCommand},
    {"IMG", Command::kImg, &RunImageCommand, &CheckImageCommand},
    {"WIND_CLK", Command::kWindClk, &RunWindowCommand, &CheckWindowCommand},
    {"WIND", Command::kWind, &RunWindowCommand, &CheckWindowCommand},
    {"MOV", Command::kMov, &RunMov, &CheckMov},
    {"CLK", Command::kClk, &RunButton, &CheckButton},
    {"STR", Command::kStr, &RunStr, &CheckStr},
    {"OPE_ON", Command::kOpeOn, &RunOpe, &CheckOpe},
    {"OPE_OFF", Command::kOpeOff, &RunOpe, &CheckOpe},
    {"OPE", Command::kOpe, &RunOpe, &CheckOpe},
    {"WAIT", Command::kWait, &RunWait, &CheckWait},
    {"DRAG", Command::kDrag, &RunButton, &CheckButton},
    {"DROP", Command::kDrop, &RunButton, &CheckButton},
    {"RCLICK", Command::kRClick, &RunButton, &CheckButton},
    {"CHK_IMG", Command::kChkImg, &RunImageCommand, &CheckImageCommand},
    {"CHK_NOIMG", Command::kChkNoImg, &RunImageCommand, &CheckImageCommand},
    {"CHK_WIND", Command::kChkWind, &RunWindowCommand, &CheckWindowCommand},
    {"CHK_NOWIND", Command::kChkNoWind, &RunWindowCommand, &CheckWindowCommand},
    {";", Command::kComment, &RunComment, &CheckComment},
};

struct KeyEntry {
    std::string_view name;
    std::uint8_t vk;
};

// The key names of OPE, OPE_ON and OPE_OFF, in the order they are looked for.
inline constexpr KeyEntry kKeyTable[] = {
    {"UP", platform::vk::kUp},
    {"DOWN", platform::vk::kDown},
    {"RIGHT", platform::vk::kRight},
    {"LEFT", platform::vk::kLeft},
    {"BS", platform::vk::kBack},
    {"RET", platform::vk::kReturn},
    {"WIN", platform::vk::kLWin},
    {"CTRL", platform::vk::kControl},
    {"ALT", platform::vk::kMenu},
    {"DEL", platform::vk::kDelete},
    {"PRT_SCR", platform::vk::kSnapshot},
    {"ESC", platform::vk::kEscape},
};

inline constexpr std::size_t kCommentIndex = std::size(kCommandTable) - 1;
inline constexpr std::size_t kFirstKeyName = std::size(kCommandTable);
inline constexpr std::size_t kKeyNameCount = std::size(kKeyTable);
inline constexpr std::size_t kKeywordCount = kFirstKeyName + kKeyNameCount;

// Each entry's command is its index, so the enumeration, the table order and the keyword
// table below cannot drift apart.
constexpr bool CommandsInTableOrder() {
    for (std::size_t i = 0; i < std::size(kCommandTable); ++i) {
        if (kCommandTable[i].command != static_cast<Command>(i)) return false;
    }
    return kCommandTable[kCommentIndex].command == Command::kComment;
}
static_assert(CommandsInTableOrder());

}  // namespace engine

// The 20 command keywords (their indices are the command numbers), the comment marker (20)
// and the 12 key names (21-32), made from the two tables above.
inline constexpr std::array<std::string_view, engine::kKeywordCount> g_keywordTable = [] {
    std::array<std::string_view, engine::kKeywordCount> table{};
    for (std::size_t i = 0; i < engine::kFirstKeyName; ++i) {
        table[i] = engine::kCommandTable[i].keyword;
    }
    for (std::size_t k = 0; k < engine::kKeyNameCount; ++k) {
        table[engine::kFirstKeyName + k] = engine::kKeyTable[k].name;
    }
    return table;
}();
// The virtual-key codes of the key names, parallel to entries 21-32.
inline constexpr std::array<std::uint8_t, engine::kKeyNameCount> g_keyCodes = [] {
    std::array<std::uint8_t, engine::kKeyNameCount> codes{};
    for (std::size_t k = 0; k < engine::kKeyNameCount; ++k) codes[k] = engine::kKeyTable[k].vk;
    return codes;
}();
static_assert(g_keywordTable.size() == 33 && g_keyCodes.size() == 12);

namespace engine {

// A stored line split at its first space: keyword before it, argument text after it.
struct SplitLine {
    std::string_view keyword;
    std::string_view args;
};
SplitLine SplitAtFirstSpace(std::string_view line);

// The entry whose keyword equals the keyword exactly (case-sensitive), among entries 0-20.
const CommandEntry* MatchKeyword(std::string_view keyword);

// The first key name, in table order, that occurs anywhere in text.
const KeyEntry* FindKeyName(std::string_view text);

}  // namespace engine
