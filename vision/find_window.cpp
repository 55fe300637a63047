#include "vision/find_window.h"

#include <cstring>
#include <string>

#include "base/trace.h"

namespace vision {
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

std::optional<WindowMatch> FindWindowByTitle(platform::Desktop& desktop, std::string_view text) {
    std::optional<platform::WindowHandle> found;
    desktop.ForEachWindow([&](platform::WindowHandle window) {
        const std::string full = desktop.WindowTitle(window);
        const std::string_view title =
            std::string_view(full.c_str(), std::strlen(full.c_str())).substr(0, kTitleBytes);
        if (TitleContains(title, text)) found = window;
        return true;
    });
    if (!found) return std::nullopt;

    WindowMatch match;
    match.handle = *found;
    match.minimised = desktop.IsWindowMinimised(*found);
    trace::Printf("%s", match.minimised ? "最小化中です" : "普通です");
    const auto rect = desktop.WindowRect(*found);
    if (!rect) {
        // The window went away: there is no place to act on, so it counts as not found.
        trace::Printf("WINDOW位置の取得に失敗");
        return std::nullopt;
    }
    match.rect = *rect;
    return match;
}

}  // namespace vision
