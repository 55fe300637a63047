#include "platform/x11/window_facts.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace platform::x11 {
namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

// The reply to a request sent with its cookie; null when the server answered with an error
// (the window has gone) or the connection has gone.
template <class T, class Cookie>
Reply<T> Await(xcb_connection_t* c, T* (*reply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
               Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    Reply<T> answer(reply(c, cookie, &error));
    std::free(error);
    return answer;
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_query_tree_cookie_t cookie) {
    const auto tree = Await(c, xcb_query_tree_reply, cookie);
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

bool Carries(xcb_connection_t* c, xcb_list_properties_cookie_t cookie, xcb_atom_t property) {
    const auto list = Await(c, xcb_list_properties_reply, cookie);
    if (!list) return false;
    const xcb_atom_t* atoms = xcb_list_properties_atoms(list.get());
    const xcb_atom_t* end = atoms + xcb_list_properties_atoms_length(list.get());
    return std::find(atoms, end, property) != end;
}

PropertyBytes Read(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    PropertyBytes property;
    const auto reply = Await(c, xcb_get_property_reply, cookie);
    if (!reply || reply->type == XCB_NONE) return property;
    property.present = true;
    property.type = reply->type;
    property.format = reply->format;
    property.bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    return property;
}

// Format-32 values arrive as 32-bit numbers.
std::vector<std::uint32_t> Values32(const PropertyBytes& property, xcb_atom_t type) {
    std::vector<std::uint32_t> values;
    if (!property.present || property.type != type || property.format != 32) return values;
    values.resize(property.bytes.size() / 4);
    std::copy_n(property.bytes.data(), values.size() * 4, reinterpret_cast<char*>(values.data()));
    return values;
}

// The windows that the window manager made: those whose id lies in the range the server gave
// its connection, the connection that made its check window. The check window is asked
// whether it still names itself (it does while its manager runs); the answer is read at the
// first question, so that the request travels with others.
class ManagerWindows {
  public:
    ManagerWindows(xcb_connection_t* c, xcb_atom_t check_atom, Window check)
        : c_(c), check_(static_cast<xcb_window_t>(check)) {
        if (check_ != XCB_NONE) {
            cookie_ = xcb_get_property(c, 0, check_, check_atom, XCB_ATOM_WINDOW, 0, 1);
        }
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
            const auto named = Values32(Read(c_, cookie_), XCB_ATOM_WINDOW);
            // Ids with none of the connection bits set are the server's own (the root).
            const std::uint32_t mask = xcb_get_setup(c_)->resource_id_mask;
            if (named.size() == 1 && named[0] == check_) base_ = check_ & ~mask;
        }
        return base_ != 0 && (window & ~xcb_get_setup(c_)->resource_id_mask) == base_;
    }

  private:
    xcb_connection_t* c_;
    xcb_window_t check_;
    xcb_get_property_cookie_t cookie_{};
    bool read_ = false;
    std::uint32_t base_ = 0;
};

// The search for one window's client: breadth first, the first window in stacking order on
// the shallowest level that carries WM_STATE.
struct Search {
    std::vector<xcb_window_t> level;  // what is left to look at, in stacking order
    xcb_window_t client = XCB_NONE;
};

// A window manager nests the client a level or two below its frame; no deeper, so that the
// deep window tree of a frameless application is not searched to its leaves.
constexpr int kMaxDepth = 3;

// Runs the searches level by level, all of them at once. Replies are read in the order of
// their requests: XCB finds a reply by walking the list of those not yet read.
//
// Below the top-level windows, the window manager's own windows are not asked for WM_STATE:
// it puts that on client windows, never on the parts of its frames (openbox makes some fifty
// of them a frame, before the client in stacking order). They are still asked for their
// children while no client has been found.
void FindClients(xcb_connection_t* c, xcb_atom_t wm_state, ManagerWindows& manager,
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
            bool properties_asked;
            xcb_list_properties_cookie_t properties;
            xcb_query_tree_cookie_t children;
        };
        std::vector<Asked> asked;
        for (const Open& o : open) {
            for (const xcb_window_t w : o.search->level) {
                Asked a{depth == 0 || !manager.Made(w), {}, {}};
                if (a.properties_asked) a.properties = xcb_list_properties(c, w);
                if (o.children_at_once) a.children = xcb_query_tree(c, w);
                asked.push_back(a);
            }
        }
        std::size_t k = 0;
        for (Open& o : open) {
            for (const xcb_window_t w : o.search->level) {
                const Asked& a = asked[k++];
                if (a.properties_asked && Carries(c, a.properties, wm_state) &&
                    o.search->client == XCB_NONE) {
                    o.search->client = w;
                }
                if (o.children_at_once) o.children.push_back(Children(c, a.children));
            }
        }

        // The children of the other searches that are still open, in a step of their own.
        std::vector<xcb_query_tree_cookie_t> trees;
        const auto later = [&](const Open& o) {
            return !o.children_at_once && o.search->client == XCB_NONE && depth < kMaxDepth;
        };
        for (const Open& o : open) {
            if (!later(o)) continue;
            for (const xcb_window_t w : o.search->level) trees.push_back(xcb_query_tree(c, w));
        }
        k = 0;
        for (Open& o : open) {
            if (!later(o)) continue;
            for (std::size_t i = 0; i < o.search->level.size(); ++i) {
                o.children.push_back(Children(c, trees[k++]));
            }
        }

        for (Open& o : open) {
            o.search->level.clear();
            if (o.search->client != XCB_NONE) continue;
            for (const auto& children : o.children) {
                o.search->level.insert(o.search->level.end(), children.begin(), children.end());
            }
        }
    }
}

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
    ManagerWindows manager(c, static_cast<xcb_atom_t>(atoms.net_supporting_wm_check), wm_check);
    std::vector<Search> searches;
    for (const Window w : windows) searches.push_back({{static_cast<xcb_window_t>(w)}});
    FindClients(c, static_cast<xcb_atom_t>(atoms.wm_state), manager, searches);

    // Then in one step each window's rectangle and its client's properties. The lengths are
    // those Xlib's property calls ask for: every byte of the names, two and 1024 values of
    // the states.
    constexpr std::uint32_t kAll = 0xFFFFFFFF;
    constexpr std::uint32_t kTextLongs = 1000000;
    struct Asked {
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t net_wm_name, wm_name, wm_state, net_wm_state;
    };
    std::vector<Asked> asked;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto window = static_cast<xcb_window_t>(windows[i]);
        const xcb_window_t client = searches[i].client != XCB_NONE ? searches[i].client : window;
        const auto ask = [&](Atom name, Atom type, std::uint32_t longs) {
            return xcb_get_property(c, 0, client, static_cast<xcb_atom_t>(name),
                                    static_cast<xcb_atom_t>(type), 0, longs);
        };
        asked.push_back(
            {xcb_get_geometry(c, window), ask(atoms.net_wm_name, atoms.utf8_string, kAll),
             ask(XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTextLongs),
             ask(atoms.wm_state, atoms.wm_state, 2), ask(atoms.net_wm_state, XCB_ATOM_ATOM, 1024)});
    }

    std::unordered_map<Window, WindowFacts> facts;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const Asked& a = asked[i];
        WindowFacts& f = facts[windows[i]];
        f.rect = ToRect(Await(c, xcb_get_geometry_reply, a.geometry).get());
        f.net_wm_name = Read(c, a.net_wm_name);
        f.wm_name = Read(c, a.wm_name);
        constexpr std::uint32_t kIconicState = 3;
        const auto state = Values32(Read(c, a.wm_state), atoms.wm_state);
        const auto net_state = Values32(Read(c, a.net_wm_state), XCB_ATOM_ATOM);
        f.minimised = (!state.empty() && state[0] == kIconicState) ||
                      std::find(net_state.begin(), net_state.end(), atoms.net_wm_state_hidden) !=
                          net_state.end();
    }
    return facts;
}

TopLevelWindows ReadTopLevelWindows(xcb_connection_t* c, const WindowAtoms& atoms, Window root) {
    const auto root_window = static_cast<xcb_window_t>(root);
    const auto tree = xcb_query_tree(c, root_window);
    const auto check =
        xcb_get_property(c, 0, root_window, static_cast<xcb_atom_t>(atoms.net_supporting_wm_check),
                         XCB_ATOM_WINDOW, 0, 1);
    const auto children = Children(c, tree);
    const auto named = Values32(Read(c, check), XCB_ATOM_WINDOW);
    return {{children.begin(), children.end()}, named.size() == 1 ? named[0] : Window{0}};
}

std::optional<Rect> OuterRect(xcb_connection_t* c, Window window) {
    return ToRect(
        Await(c, xcb_get_geometry_reply, xcb_get_geometry(c, static_cast<xcb_window_t>(window)))
            .get());
}

}  // namespace platform::x11
