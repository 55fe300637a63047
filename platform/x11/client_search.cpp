// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/client_search.h"

#include <algorithm>

#include "platform/x11/xcb_replies.h"

namespace platform::x11 {
namespace {

// The windows that the window manager made: those whose id lies in the range the server gave
// its connection, the connection that made its check window. The check window is asked
// whether it still names itself (it does while its manager runs); the answer is read at the
// first question, so that the request travels with others.
class ManagerWindows {
  public:
    ManagerWindows(xcb_connection_t* c, xcb_atom_t check_atom, Window check)
        : c_(c), check_(static_cast<xcb_window_t>(check)) {
        // No setup once the connection has gone.
        const xcb_setup_t* setup = xcb_get_setup(c);
        if (!setup) check_ = XCB_NONE;
        if (check_ == XCB_NONE) return;
        mask_ = setup->resource_id_mask;
        cookie_ = xcb_get_property(c, 0, check_, check_atom, XCB_ATOM_WINDOW, 0, 1);
    }
    ~ManagerWindows() {
        if (check_ != XCB_NONE && !read_) xcb_discard_reply(c_, cookie_.sequence);
    }
    ManagerWindows(const ManagerWindows&) = delete;
    ManagerWindows& operator=(const ManagerWindows&) = delete;

    bool Made(xcb_window_t window) {
        if (check_ == XCB_NONE) return false;
        if (!read_) {
            read_ = true;
            const auto named = Values32(AwaitProperty(c_, cookie_), XCB_ATOM_WINDOW);
            if (named.size() == 1 && named[0] == check_) base_ = check_ & ~mask_;
        }
        // Ids without connection bits are the server's own (the root window).
        return base_ != 0 && (window & ~mask_) == base_;
    }

  private:
    xcb_connection_t* c_;
    xcb_window_t check_;
    std::uint32_t mask_ = 0;  // the bits of an id its client chooses; the rest name the client
    xcb_get_property_cookie_t cookie_{};
    bool read_ = false;
    std::uint32_t base_ = 0;
};

// The search for one window's client: breadth first, the first window in stacking order on
// the shallowest level that carries WM_STATE.
struct Search {
    std::vector<xcb_window_t> level;  // what is left to look at, in stacking order
    Client client;
};

// A window manager nests the client a level or two below its frame; no deeper, so that the
// deep window tree of a frameless application is not searched to its leaves.
constexpr int kMaxDepth = 3;

// Replies are read in the order of their requests: XCB finds a reply by walking the list of
// those not yet read.
//
// The window manager puts WM_STATE on client windows, never on the parts of its frames
// (openbox makes some fifty of them a frame, before the client in stacking order), so those
// are not asked; they are still asked for their children while no client has been found.
void Run(xcb_connection_t* c, xcb_atom_t wm_state, ManagerWindows& manager,
         std::vector<Search>& searches) {
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
        struct Open {
            Search* search;
            // Ask the children with the properties, saving a round trip, where they will
            // be needed: below a top-level window (a frame does not carry WM_STATE itself),
            // and below a level of the manager's windows only.
            bool children_at_once;
            std::vector<std::vector<xcb_window_t>> children;
        };
        std::vector<Open> open;
        for (Search& s : searches) {
            if (s.level.empty()) continue;
            const bool below_manager_only =
                depth > 0 && std::all_of(s.level.begin(), s.level.end(),
                                         [&](xcb_window_t w) { return manager.Made(w); });
            open.push_back({&s, depth < kMaxDepth && (depth == 0 || below_manager_only), {}});
        }
        if (open.empty()) return;

        struct Asked {
            bool state_asked;
            xcb_get_property_cookie_t wm_state;
            xcb_query_tree_cookie_t children;
        };
        std::vector<Asked> asked;
        for (const Open& o : open) {
            for (const xcb_window_t w : o.search->level) {
                Asked a{depth == 0 || !manager.Made(w), {}, {}};
                // WM_STATE itself (two values, as Xlib's call asks), so that the client's
                // state comes with it.
                if (a.state_asked) {
                    a.wm_state =
                        xcb_get_property(c, 0, w, wm_state, XCB_GET_PROPERTY_TYPE_ANY, 0, 2);
                }
                if (o.children_at_once) a.children = xcb_query_tree(c, w);
                asked.push_back(a);
            }
        }
        std::size_t k = 0;
        for (Open& o : open) {
            for (const xcb_window_t w : o.search->level) {
                const Asked& a = asked[k++];
                const PropertyBytes state =
                    a.state_asked ? AwaitProperty(c, a.wm_state) : PropertyBytes{};
                if (state.present && o.search->client.window == XCB_NONE) {
                    constexpr std::uint32_t kIconicState = 3;
                    const auto values = Values32(state, wm_state);
                    o.search->client = {w, !values.empty() && values[0] == kIconicState};
                }
                if (o.children_at_once) o.children.push_back(AwaitChildren(c, a.children));
            }
        }

        // The children of the other searches that are still open, in a step of their own.
        std::vector<xcb_query_tree_cookie_t> trees;
        const auto later = [&](const Open& o) {
            return !o.children_at_once && o.search->client.window == XCB_NONE && depth < kMaxDepth;
        };
        for (const Open& o : open) {
            if (!later(o)) continue;
            for (const xcb_window_t w : o.search->level) trees.push_back(xcb_query_tree(c, w));
        }
        k = 0;
        for (Open& o : open) {
            if (!later(o)) continue;
            for (std::size_t i = 0; i < o.search->level.size(); ++i) {
                o.children.push_back(AwaitChildren(c, trees[k++]));
            }
        }

        for (Open& o : open) {
            o.search->level.clear();
            if (o.search->client.window != XCB_NONE) continue;
            for (const auto& children : o.children) {
                o.search->level.insert(o.search->level.end(), children.begin(), children.end());
            }
        }
    }
}

}  // namespace

std::vector<Client> FindClients(xcb_connection_t* c, Atom wm_state, Atom net_supporting_wm_check,
                                Window wm_check, std::span<const Window> windows) {
    ManagerWindows manager(c, static_cast<xcb_atom_t>(net_supporting_wm_check), wm_check);
    std::vector<Search> searches;
    for (const Window w : windows) searches.push_back({{static_cast<xcb_window_t>(w)}, {}});
    Run(c, static_cast<xcb_atom_t>(wm_state), manager, searches);
    std::vector<Client> clients;
    for (const Search& s : searches) clients.push_back(s.client);
    return clients;
}

}  // namespace platform::x11
