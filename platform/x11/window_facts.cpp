// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/window_facts.h"

#include <algorithm>

#include "platform/x11/client_search.h"

namespace platform::x11 {
namespace {

std::optional<Rect> ToRect(const xcb_get_geometry_reply_t* g) {
    if (!g) return std::nullopt;
    // A child of the root window has its outer corner, border included, at (x, y) in root
    // coordinates; GetWindowRect's rectangle includes the border too.
    return Rect{g->x, g->y, g->x + g->width + 2 * g->border_width,
                g->y + g->height + 2 * g->border_width};
}

}  // namespace

std::unordered_map<Window, WindowFacts> ReadWindowFacts(xcb_connection_t* c,
                                                        const WindowAtoms& atoms,
                                                        std::span<const Window> windows,
                                                        Window wm_check) {
    const std::vector<Client> clients =
        FindClients(c, atoms.wm_state, atoms.net_supporting_wm_check, wm_check, windows);

    // Then in one step each window's rectangle and its client's properties. The
    // lengths are those Xlib's property calls ask for: every byte of the names, 1024 states.
    constexpr std::uint32_t kAll = 0xFFFFFFFF;
    constexpr std::uint32_t kTextLongs = 1000000;
    struct Asked {
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t net_wm_name, wm_name, net_wm_state;
    };
    std::vector<Asked> asked;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto window = static_cast<xcb_window_t>(windows[i]);
        const xcb_window_t client = clients[i].window != XCB_NONE ? clients[i].window : window;
        const auto ask = [&](Atom name, Atom type, std::uint32_t longs) {
            return xcb_get_property(c, 0, client, static_cast<xcb_atom_t>(name),
                                    static_cast<xcb_atom_t>(type), 0, longs);
        };
        asked.push_back({xcb_get_geometry(c, window),
                         ask(atoms.net_wm_name, atoms.utf8_string, kAll),
                         ask(XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLongs),
                         ask(atoms.net_wm_state, XCB_ATOM_ATOM, 1024)});
    }

    std::unordered_map<Window, WindowFacts> facts;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Asked& a = asked[i];
        WindowFacts& f = facts[windows[i]];
        f.rect = ToRect(Await(c, xcb_get_geometry_reply, a.geometry).get());
        f.net_wm_name = AwaitProperty(c, a.net_wm_name);
        f.wm_name = AwaitProperty(c, a.wm_name);
        const auto net_state = Values32(AwaitProperty(c, a.net_wm_state), XCB_ATOM_ATOM);
        f.minimised = clients[i].iconic || std::find(net_state.begin(), net_state.end(),
                                                     atoms.net_wm_state_hidden) != net_state.end();
    }
    return facts;
}

TopLevelWindows ReadTopLevelWindows(xcb_connection_t* c, const WindowAtoms& atoms, Window root) {
    const auto root_window = static_cast<xcb_window_t>(root);
    const auto tree = xcb_query_tree(c, root_window);
    const auto check =
        xcb_get_property(c, 0, root_window, static_cast<xcb_atom_t>(atoms.net_supporting_wm_check),
                         XCB_ATOM_WINDOW, 0, 1);
    const auto children = AwaitChildren(c, tree);
    const auto named = Values32(AwaitProperty(c, check), XCB_ATOM_WINDOW);
    return {{children.begin(), children.end()}, named.size() == 1 ? named[0] : Window{0}};
}

std::unordered_map<Window, std::optional<bool>> ReadViewable(xcb_connection_t* c,
                                                             std::span<const Window> windows) {
    std::vector<xcb_get_window_attributes_cookie_t> asked;
    for (const Window w : windows) {
        asked.push_back(xcb_get_window_attributes(c, static_cast<xcb_window_t>(w)));
    }
    std::unordered_map<Window, std::optional<bool>> viewable;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto attributes = Await(c, xcb_get_window_attributes_reply, asked[i]);
        if (attributes)
            viewable[windows[i]] = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        else
            viewable[windows[i]] = std::nullopt;
    }
    return viewable;
}

std::optional<Rect> OuterRect(xcb_connection_t* c, Window window) {
    return ToRect(
        Await(c, xcb_get_geometry_reply, xcb_get_geometry(c, static_cast<xcb_window_t>(window)))
            .get());
}

}  // namespace platform::x11
