// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/xcb_replies.h"

#include <algorithm>

namespace platform::x11 {

PropertyBytes AwaitProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
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

std::vector<std::uint32_t> Values32(const PropertyBytes& property, xcb_atom_t type) {
    std::vector<std::uint32_t> values;
    if (!property.present || property.type != type || property.format != 32) return values;
    values.resize(property.bytes.size() / 4);
    std::copy_n(property.bytes.data(), values.size() * 4, reinterpret_cast<char*>(values.data()));
    return values;
}

std::vector<xcb_window_t> AwaitChildren(xcb_connection_t* c, xcb_query_tree_cookie_t cookie) {
    const auto tree = Await(c, xcb_query_tree_reply, cookie);
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return {children, children + xcb_query_tree_children_length(tree.get())};
}

}  // namespace platform::x11
