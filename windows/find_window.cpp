// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/find_window.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "base/trace.h"

namespace windows {
namespace {

// Titles are read as into a 100-byte buffer: at most 99 bytes take part, and a NUL ends them.
constexpr std::size_t kTitleBytes = 99;

// Narrow text is UTF-8: a continuation byte (10xxxxxx) never begins a character.
bool StartsCharacter(std::string_view text, std::size_t pos) {
    return pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80;
}

// A match may not begin inside a multi-byte character.
bool TitleContains(std::string_view title, std::string_view text) {
    for (std::size_t pos = title.find(text); pos != std::string_view::npos;
         pos = title.find(text, pos + 1)) {
        if (StartsCharacter(title, pos)) return true;
    }
    return false;
}

}  // namespace

std::string MatchedTitle(platform::Desktop& desktop, platform::WindowHandle window) {
    const std::string full = desktop.WindowTitle(window);
    return std::string(full.c_str(), std::min(std::strlen(full.c_str()), kTitleBytes));
}

std::optional<WindowMatch> FindWindowByTitle(platform::Desktop& desktop, std::string_view text) {
    WindowMatch match;
    bool found = false;
    std::optional<platform::Rect> rect;
    desktop.ForEachWindow([&](platform::WindowHandle window) {
        std::string title = MatchedTitle(desktop, window);
        if (TitleContains(title, text)) {
            match.handle = window;
            match.title = std::move(title);
            // Asked while the enumeration runs, which a backend may answer from what it read
            // of every window at once (X asks the server for all of them together).
            match.minimised = desktop.IsWindowMinimised(window);
            rect = desktop.WindowRect(window);
            found = true;
        }
        return true;
    });
    if (!found) return std::nullopt;

    trace::Printf("%s", match.minimised ? "最小化中です" : "普通です");
    if (!desktop.Can().window_rects) {
        // Found by its title, on a desktop that tells no window's place.
        match.located = false;
        return match;
    }
    if (!rect) {
        // The window went away: there is no place to act on, so it counts as not found.
        trace::Printf("WINDOW位置の取得に失敗");
        return std::nullopt;
    }
    match.rect = *rect;
    return match;
}

std::string UniqueTitlePiece(std::string_view title, const std::vector<std::string>& others) {
    std::vector<std::string_view> words;
    for (std::size_t start = 0; start < title.size();) {
        const std::size_t end = std::min(title.find(' ', start), title.size());
        if (end > start) words.push_back(title.substr(start, end - start));
        start = end + 1;
    }
    // A piece begins and ends with a word that says something: not "-" or "|".
    const auto telling = [](std::string_view word) {
        return std::any_of(word.begin(), word.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   static_cast<unsigned char>(c) >= 0x80;
        });
    };
    const auto unique = [&](std::string_view piece) {
        return std::none_of(others.begin(), others.end(),
                            [&](const std::string& other) { return TitleContains(other, piece); });
    };
    // Fewest words first; of as many words, the longest piece, which reads most like a name.
    for (std::size_t count = 1; count <= words.size(); ++count) {
        std::string_view best;
        for (std::size_t first = 0; first + count <= words.size(); ++first) {
            const char* begin = words[first].data();
            const char* end = words[first + count - 1].data() + words[first + count - 1].size();
            const std::string_view piece(begin, static_cast<std::size_t>(end - begin));
            if (piece.size() >= 3 && piece.size() > best.size() && telling(words[first]) &&
                telling(words[first + count - 1]) && unique(piece)) {
                best = piece;
            }
        }
        if (!best.empty()) return std::string(best);
    }
    return std::string(title);
}

}  // namespace windows
