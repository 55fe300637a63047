// SPDX-License-Identifier: GPL-3.0-or-later
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/code_page.h"
#include "platform/x11/window_facts.h"
#include "platform/x11/x11_desktop.h"

namespace platform::x11 {
namespace {

std::string Title(Display* display, const WindowFacts& facts, Atom utf8_string) {
    if (facts.net_wm_name.present && facts.net_wm_name.format == 8) return facts.net_wm_name.bytes;

    // WM_NAME in whatever encoding the client chose: STRING (Latin-1), COMPOUND_TEXT (xterm's
    // Japanese titles), sometimes UTF8_STRING. Xlib converts the bytes without asking the
    // server.
    const PropertyBytes& name = facts.wm_name;
    if (!name.present || name.format != 8) return {};
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(const_cast<char*>(name.bytes.c_str()));
    text.encoding = name.type;
    text.format = 8;
    text.nitems = name.bytes.size();
    char** list = nullptr;
    int count = 0;
    // Success (0), or the number of characters that had no equivalent; negative on failure.
    const int converted = Xutf8TextPropertyToTextList(display, &text, &list, &count);
    if (converted >= 0 && list) {
        std::string title;
        for (int i = 0; i < count; ++i) title += list[i];
        XFreeStringList(list);
        return title;
    }
    if (text.encoding == XA_STRING) return Latin1ToUtf8(name.bytes);
    if (text.encoding == utf8_string) return name.bytes;
    return {};
}

}  // namespace

xcb_connection_t* X11Desktop::LookupConnection() {
    // A connection that cannot be made is one in error: the desktop counts as lost.
    if (!lookup_) lookup_.reset(xcb_connect(name_.c_str(), nullptr));
    return lookup_.get();
}

void X11Desktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
    if (Gone()) return;
    Tidy();
    TopLevelWindows top = ReadTopLevelWindows(LookupConnection(), atoms_, root_);
    listed_ = std::move(top.windows);
    wm_check_ = top.wm_check;
    // The server lists bottom to top; Windows enumerates the top first.
    std::reverse(listed_.begin(), listed_.end());
    const std::vector<Window> windows = listed_;
    facts_.reset();
    viewable_.reset();
    enumerating_ = true;
    // A visitor that enumerates again ends the reading ahead, not this loop.
    for (std::size_t i = 0; i < windows.size(); ++i) {
        visiting_ = i;
        if (!visit(windows[i])) break;
    }
    enumerating_ = false;
    facts_.reset();
    viewable_.reset();
    listed_.clear();
}

const WindowFacts* X11Desktop::Known(Window window) {
    if (!enumerating_) return nullptr;
    // Read at the first question, not before: a visitor that stops at once costs nothing
    // more, and what it reads is as fresh as it can be. The windows from here on are read
    // together.
    if (!facts_)
        facts_ = ReadWindowFacts(LookupConnection(), atoms_, std::span(listed_).subspan(visiting_),
                                 wm_check_);
    const auto it = facts_->find(window);
    return it == facts_->end() ? nullptr : &it->second;
}

WindowFacts X11Desktop::FactsOf(Window window) {
    if (const WindowFacts* known = Known(window)) return *known;
    const Window one[] = {window};
    return ReadWindowFacts(LookupConnection(), atoms_, one, wm_check_)[window];
}

std::string X11Desktop::WindowTitle(WindowHandle handle) {
    if (Gone()) return {};
    return Title(display_.get(), FactsOf(static_cast<Window>(handle)), atoms_.utf8_string);
}

bool X11Desktop::IsWindowMinimised(WindowHandle handle) {
    if (Gone()) return false;
    return FactsOf(static_cast<Window>(handle)).minimised;
}

bool X11Desktop::IsWindowVisible(WindowHandle handle) {
    if (Gone()) return false;
    const auto window = static_cast<Window>(handle);
    const bool minimised = FactsOf(window).minimised;
    std::optional<bool> viewable;
    if (Known(window)) {
        // Asked of every window read ahead at once, when first asked: a lookup by title does
        // not ask it.
        if (!viewable_) {
            std::vector<Window> read;
            for (const auto& [w, facts] : *facts_) read.push_back(w);
            viewable_ = ReadViewable(LookupConnection(), read);
        }
        if (const auto it = viewable_->find(window); it != viewable_->end()) viewable = it->second;
    } else {
        const Window one[] = {window};
        viewable = ReadViewable(LookupConnection(), one)[window];
    }
    // Minimised counts as shown; a window that has gone does not.
    return viewable && (*viewable || minimised);
}

std::optional<Rect> X11Desktop::WindowRect(WindowHandle handle) {
    if (Gone()) return std::nullopt;
    const auto window = static_cast<Window>(handle);
    if (const WindowFacts* known = Known(window)) return known->rect;
    return OuterRect(LookupConnection(), window);
}

}  // namespace platform::x11
