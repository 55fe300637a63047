// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace platform::x11 {

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

// A property as the server sent it.
struct PropertyBytes {
    bool present = false;  // false when the window has no such property, or has gone
    xcb_atom_t type = XCB_NONE;
    std::uint8_t format = 0;
    std::string bytes;
};
PropertyBytes AwaitProperty(xcb_connection_t* c, xcb_get_property_cookie_t cookie);

// The values of a format-32 property of the given type (32-bit numbers on the wire); none
// for another type or format.
std::vector<std::uint32_t> Values32(const PropertyBytes& property, xcb_atom_t type);

// Bottom of the stacking order first; none when the window has gone.
std::vector<xcb_window_t> AwaitChildren(xcb_connection_t* c, xcb_query_tree_cookie_t cookie);

}  // namespace platform::x11
