// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/old_window_lookup.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <climits>
#include <vector>

#include "platform/code_page.h"
#include "windows/find_window.h"

namespace bench {
namespace {

using platform::x11::ErrorTrap;
using platform::x11::XPtr;

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    XPtr<unsigned char> data;
};

bool ReadProperty(Display* display, Window window, Atom name, Atom type, long max_longs,
                  Property* out) {
    unsigned long after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(display);
    const int status = XGetWindowProperty(display, window, name, 0, max_longs, False, type,
                                          &out->type, &out->format, &out->count, &after, &data);
    out->data.reset(data);
    return status == Success && !trap.Failed() && out->type != None;
}

bool HasProperty(Display* display, Window window, Atom name) {
    Property p;
    return ReadProperty(display, window, name, AnyPropertyType, 0, &p);
}

struct Children {
    XPtr<Window> list;
    unsigned count = 0;
};

Children ChildrenOf(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* list = nullptr;
    Children children;
    ErrorTrap trap(display);
    const Status ok = XQueryTree(display, window, &root, &parent, &list, &children.count);
    children.list.reset(list);
    if (!ok || trap.Failed()) children = {};
    return children;
}

}  // namespace

OldWindowLookup::OldWindowLookup() : display_(platform::x11::OpenDisplay(nullptr, nullptr)) {
    if (!display_) return;
    Display* d = display_.get();
    root_ = DefaultRootWindow(d);
    wm_state_ = XInternAtom(d, "WM_STATE", False);
    net_wm_name_ = XInternAtom(d, "_NET_WM_NAME", False);
    utf8_string_ = XInternAtom(d, "UTF8_STRING", False);
    net_wm_state_ = XInternAtom(d, "_NET_WM_STATE", False);
    net_wm_state_hidden_ = XInternAtom(d, "_NET_WM_STATE_HIDDEN", False);
}

void OldWindowLookup::ForEachWindow(const std::function<bool(platform::WindowHandle)>& visit) {
    const Children children = ChildrenOf(display_.get(), root_);
    clients_.clear();
    enumerating_ = true;
    for (unsigned i = children.count; i-- > 0;) {
        if (!visit(children.list.get()[i])) break;
    }
    enumerating_ = false;
    clients_.clear();
}

Window OldWindowLookup::ClientOf(Window frame) {
    if (enumerating_) {
        if (const auto it = clients_.find(frame); it != clients_.end()) return it->second;
    }
    constexpr int kMaxDepth = 3;
    Window client = frame;
    bool found = false;
    std::vector<Window> level{frame};
    for (int depth = 0; depth <= kMaxDepth && !found; ++depth) {
        std::vector<Window> next;
        for (const Window window : level) {
            if (HasProperty(display_.get(), window, wm_state_)) {
                client = window;
                found = true;
                break;
            }
            if (depth == kMaxDepth) continue;
            const Children children = ChildrenOf(display_.get(), window);
            next.insert(next.end(), children.list.get(), children.list.get() + children.count);
        }
        level = std::move(next);
    }
    if (enumerating_) clients_[frame] = client;
    return client;
}

std::string OldWindowLookup::WindowTitle(platform::WindowHandle handle) {
    Display* display = display_.get();
    const Window client = ClientOf(static_cast<Window>(handle));
    Property name;
    if (ReadProperty(display, client, net_wm_name_, utf8_string_, LONG_MAX / 4, &name) &&
        name.format == 8) {
        return std::string(reinterpret_cast<const char*>(name.data.get()), name.count);
    }
    XTextProperty text{};
    bool ok;
    {
        ErrorTrap trap(display);
        ok = XGetWMName(display, client, &text) && !trap.Failed();
    }
    XPtr<unsigned char> value(text.value);
    if (!ok || !text.value || text.format != 8) return {};
    char** list = nullptr;
    int count = 0;
    const int converted = Xutf8TextPropertyToTextList(display, &text, &list, &count);
    if (converted >= 0 && list) {
        std::string title;
        for (int i = 0; i < count; ++i) title += list[i];
        XFreeStringList(list);
        return title;
    }
    if (text.encoding == XA_STRING) {
        return platform::Latin1ToUtf8(
            std::string_view(reinterpret_cast<const char*>(text.value), text.nitems));
    }
    if (text.encoding == utf8_string_) {
        return std::string(reinterpret_cast<const char*>(text.value), text.nitems);
    }
    return {};
}

bool OldWindowLookup::IsWindowMinimised(platform::WindowHandle handle) {
    Display* display = display_.get();
    const Window client = ClientOf(static_cast<Window>(handle));
    constexpr long kIconicState = 3;
    Property state;
    if (ReadProperty(display, client, wm_state_, wm_state_, 2, &state) && state.format == 32 &&
        state.count >= 1 && reinterpret_cast<const long*>(state.data.get())[0] == kIconicState) {
        return true;
    }
    Property net_state;
    if (ReadProperty(display, client, net_wm_state_, XA_ATOM, 1024, &net_state) &&
        net_state.format == 32) {
        const auto* atoms = reinterpret_cast<const long*>(net_state.data.get());
        for (unsigned long i = 0; i < net_state.count; ++i) {
            if (static_cast<Atom>(atoms[i]) == net_wm_state_hidden_) return true;
        }
    }
    return false;
}

bool OldWindowLookup::IsWindowVisible(platform::WindowHandle handle) {
    XWindowAttributes a;
    ErrorTrap trap(display_.get());
    if (!XGetWindowAttributes(display_.get(), static_cast<Window>(handle), &a) || trap.Failed()) {
        return false;
    }
    return a.map_state == IsViewable || IsWindowMinimised(handle);
}

std::optional<platform::Rect> OldWindowLookup::WindowRect(platform::WindowHandle handle) {
    XWindowAttributes a;
    ErrorTrap trap(display_.get());
    if (!XGetWindowAttributes(display_.get(), static_cast<Window>(handle), &a) || trap.Failed()) {
        return std::nullopt;
    }
    return platform::Rect{a.x, a.y, a.x + a.width + 2 * a.border_width,
                          a.y + a.height + 2 * a.border_width};
}

std::optional<platform::WindowHandle> OldFindWindowByTitle(platform::Desktop& desktop,
                                                           std::string_view text) {
    std::optional<platform::WindowHandle> found;
    desktop.ForEachWindow([&](platform::WindowHandle window) {
        if (windows::MatchedTitle(desktop, window).find(text) != std::string::npos) found = window;
        return true;
    });
    if (!found) return std::nullopt;
    desktop.IsWindowMinimised(*found);
    if (!desktop.WindowRect(*found)) return std::nullopt;
    return found;
}

}  // namespace bench
