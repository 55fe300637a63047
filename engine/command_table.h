#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/command_handlers.h"
#include "platform/virtual_keys.h"

namespace engine {

// The commands; their values are their indices in the keyword table.
enum class Command : int {
    kImgClkF,
    kImgClk,
    kImgF,
    kImg,
    kWindClk,
    kWind,
    kMov,
    kClk,
    kStr,
    kOpeOn,
    kOpeOff,
    kOpe,
    kWait,
    kDrag,
    kDrop,
    kRClick,
    kChkImg,
    kChkNoImg,
    kChkWind,
    kChkNoWind,
    kComment,
};

using Handler = int (*)(CEvent_Maker& engine, Command command, const std::string& line,
                        std::string_view args);

struct CommandEntry {
    std::string_view keyword;
    Command command;
    Handler handler;
};

// The script vocabulary: a line's keyword selects the entry that equals it exactly.
inline constexpr CommandEntry kCommandTable[] = {
    {"IMG_CLK_F", Command::kImgClkF, &RunImageCommand},
    {"IMG_CLK", Command::kImgClk, &RunImageCommand},
    {"IMG_F", Command::kImgF, &RunImageCommand},
    {"IMG", Command::kImg, &RunImageCommand},
    {"WIND_CLK", Command::kWindClk, &RunWindowCommand},
    {"WIND", Command::kWind, &RunWindowCommand},
    {"MOV", Command::kMov, &RunMov},
    {"CLK", Command::kClk, &RunClk},
    {"STR", Command::kStr, &RunStr},
    {"OPE_ON", Command::kOpeOn, &RunOpe},
    {"OPE_OFF", Command::kOpeOff, &RunOpe},
    {"OPE", Command::kOpe, &RunOpe},
    {"WAIT", Command::kWait, &RunWait},
    {"DRAG", Command::kDrag, &RunButton},
    {"DROP", Command::kDrop, &RunButton},
    {"RCLICK", Command::kRClick, &RunButton},
    {"CHK_IMG", Command::kChkImg, &RunImageCommand},
    {"CHK_NOIMG", Command::kChkNoImg, &RunImageCommand},
    {"CHK_WIND", Command::kChkWind, &RunWindowCommand},
    {"CHK_NOWIND", Command::kChkNoWind, &RunWindowCommand},
    {";", Command::kComment, &RunComment},
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

// The virtual-key code of the first key name, in table order, that occurs anywhere in text.
std::optional<std::uint8_t> FindKeyName(std::string_view text);

}  // namespace engine
