#include "vision/find_window.h"

#include <cstring>

#include "engine/trace.h"

namespace {

// Titles are read as into a 100-byte buffer: at most 99 bytes take part, and a NUL ends them.
constexpr std::size_t kTitleBytes = 99;

bool TitleContains(std::string_view title, std::string_view text) {
    for (std::size_t pos = title.find(text); pos != std::string_view::npos;
         pos = title.find(text, pos + 1)) {
        if (StartsCharacter(title, pos)) return true;
    }
    return false;
}

}  // namespace

// Narrow text is UTF-8: a continuation byte (10xxxxxx) never begins a character.
bool StartsCharacter(std::string_view text, std::size_t pos) {
    return pos >= text.size() || (static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80;
}

bool EnumTitleProc(platform::WindowHandle window, WindowSearch* search) {
    const std::string full = platform::Active().WindowTitle(window);
    std::string_view title(full.c_str(), std::strlen(full.c_str()));
    title = title.substr(0, kTitleBytes);
    if (TitleContains(title, search->title)) search->found = window;
    return true;
}

int FindWindowByTitle(const char* title, platform::Point* left_top, platform::Point* right_bottom) {
    platform::Desktop& desktop = platform::Active();
    WindowSearch search;
    search.title = title;
    desktop.ForEachWindow(
        [&search](platform::WindowHandle window) { return EnumTitleProc(window, &search); });
    if (!search.found) return 0;

    trace::Printf("%s", desktop.IsWindowMinimised(*search.found) ? "最小化中です" : "普通です");
    const auto rect = desktop.WindowRect(*search.found);
    if (!rect) {
        // The window went away: there is no place to act on, so it counts as not found.
        trace::Printf("WINDOW位置の取得に失敗");
        return 0;
    }
    *left_top = {rect->left, rect->top};
    *right_bottom = {rect->right, rect->bottom};
    return 1;
}
