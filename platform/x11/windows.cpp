#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <climits>
#include <vector>

#include "platform/code_page.h"
#include "platform/x11/display.h"
#include "platform/x11/x11_desktop.h"

namespace platform::x11 {
namespace {

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    XPtr<unsigned char> data;
};

// False when the window has gone or has no such property.
bool ReadProperty(Display* display, Window window, Atom name, Atom type, long max_longs,
                  Property* out) {
    unsigned long after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(display);
    const int status = XGetWindowProperty(display, window, name, 0, max_longs, False, type,
                                          &out->type, &out->format, &out->count, &after, &data);
    out->data.reset(data);
    // XGetWindowProperty returns Success, which is 0, when it worked.
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

// Bottom of the stacking order first; empty when the window has gone.
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

void X11Desktop::ForEachWindow(const std::function<bool(WindowHandle)>& visit) {
    if (Gone()) return;
    Tidy();
    const Children children = ChildrenOf(display_.get(), root_);
    clients_.clear();
    enumerating_ = true;
    // XQueryTree lists bottom to top; Windows enumerates the top first.
    for (unsigned i = children.count; i-- > 0;) {
        if (!visit(children.list.get()[i])) break;
    }
    enumerating_ = false;
    clients_.clear();
}

Window X11Desktop::ClientOf(Window frame) {
    if (enumerating_) {
        if (const auto it = clients_.find(frame); it != clients_.end()) return it->second;
    }
    // Breadth first, as a window manager nests the client a level or two below its frame;
    // no deeper, so that the deep window tree of a frameless application is not searched
    // window by window.
    constexpr int kMaxDepth = 3;
    Window client = frame;
    bool found = false;
    std::vector<Window> level{frame};
    for (int depth = 0; depth <= kMaxDepth && !found; ++depth) {
        std::vector<Window> next;
        for (const Window window : level) {
            if (HasProperty(display_.get(), window, atoms_.wm_state)) {
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

std::string X11Desktop::WindowTitle(WindowHandle handle) {
    if (Gone()) return {};
    Display* display = display_.get();
    const Window client = ClientOf(static_cast<Window>(handle));
    Property name;
    if (ReadProperty(display, client, atoms_.net_wm_name, atoms_.utf8_string, LONG_MAX / 4,
                     &name) &&
        name.format == 8) {
        return std::string(reinterpret_cast<const char*>(name.data.get()), name.count);
    }

    // WM_NAME in whatever encoding the client chose: STRING (Latin-1), COMPOUND_TEXT (xterm's
    // Japanese titles), sometimes UTF8_STRING.
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
    // Success (0), or the number of characters that had no equivalent; negative on failure.
    const int converted = Xutf8TextPropertyToTextList(display, &text, &list, &count);
    if (converted >= 0 && list) {
        std::string title;
        for (int i = 0; i < count; ++i) title += list[i];
        XFreeStringList(list);
        return title;
    }
    if (text.encoding == XA_STRING) {
        return Latin1ToUtf8(
            std::string_view(reinterpret_cast<const char*>(text.value), text.nitems));
    }
    if (text.encoding == atoms_.utf8_string) {
        return std::string(reinterpret_cast<const char*>(text.value), text.nitems);
    }
    return {};
}

bool X11Desktop::IsWindowMinimised(WindowHandle handle) {
    if (Gone()) return false;
    Display* display = display_.get();
    const Window client = ClientOf(static_cast<Window>(handle));
    constexpr long kIconicState = 3;
    Property state;
    if (ReadProperty(display, client, atoms_.wm_state, atoms_.wm_state, 2, &state) &&
        state.format == 32 && state.count >= 1 &&
        reinterpret_cast<const long*>(state.data.get())[0] == kIconicState) {
        return true;
    }
    Property net_state;
    if (ReadProperty(display, client, atoms_.net_wm_state, XA_ATOM, 1024, &net_state) &&
        net_state.format == 32) {
        // Format-32 property data arrives as an array of long, whatever the size of long.
        const auto* atoms = reinterpret_cast<const long*>(net_state.data.get());
        for (unsigned long i = 0; i < net_state.count; ++i) {
            if (static_cast<Atom>(atoms[i]) == atoms_.net_wm_state_hidden) return true;
        }
    }
    return false;
}

bool X11Desktop::IsWindowVisible(WindowHandle handle) {
    if (Gone()) return false;
    XWindowAttributes a;
    ErrorTrap trap(display_.get());
    if (!XGetWindowAttributes(display_.get(), static_cast<Window>(handle), &a) || trap.Failed()) {
        return false;
    }
    return a.map_state == IsViewable || IsWindowMinimised(handle);
}

std::optional<Rect> X11Desktop::WindowRect(WindowHandle handle) {
    if (Gone()) return std::nullopt;
    XWindowAttributes a;
    ErrorTrap trap(display_.get());
    if (!XGetWindowAttributes(display_.get(), static_cast<Window>(handle), &a) || trap.Failed()) {
        return std::nullopt;
    }
    // A child of the root window has its outer corner, border included, at (x, y) in root
    // coordinates; GetWindowRect's rectangle includes the border too.
    return Rect{a.x, a.y, a.x + a.width + 2 * a.border_width, a.y + a.height + 2 * a.border_width};
}

}  // namespace platform::x11
