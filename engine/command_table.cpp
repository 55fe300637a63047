// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/command_table.h"

namespace engine {

SplitLine SplitAtFirstSpace(std::string_view line) {
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

const CommandEntry* MatchKeyword(std::string_view keyword) {
    for (std::size_t i = 0; i <= kCommentIndex; ++i) {
        if (keyword == g_keywordTable[i]) return &kCommandTable[i];
    }
    return nullptr;
}

const KeyEntry* FindKeyName(std::string_view text) {
    for (std::size_t k = 0; k < kKeyNameCount; ++k) {
        if (text.find(g_keywordTable[kFirstKeyName + k]) != std::string_view::npos) {
            return &kKeyTable[k];
        }
    }
    return nullptr;
}

}  // namespace engine
