// SPDX-License-Identifier: GPL-3.0-or-later
// x_resources PID: the X resources that the connections of process PID hold on the server of
// $DISPLAY, for the soak test: "resources N pixmap-bytes B (TYPE count ...)". The server
// tells each client's process through X-Resource 1.2. Exit status 1 when the display cannot
// be opened or lacks the extension, 2 when no connection of PID is there.

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x_resources PID\n");
        return 64;
    }
    const pid_t pid = static_cast<pid_t>(std::strtol(argv[1], nullptr, 10));
    Display* display = XOpenDisplay(nullptr);
    int events = 0;
    int errors = 0;
    int major = 0;
    int minor = 0;
    if (!display || !XResQueryExtension(display, &events, &errors) ||
        !XResQueryVersion(display, &major, &minor) || major * 100 + minor < 102) {
        std::fprintf(stderr, "x_resources: no X display with X-Resource 1.2\n");
        return 1;
    }

    // Every client, each with its process.
    XResClientIdSpec all{0, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &all, &count, &ids) != Success) {
        std::fprintf(stderr, "x_resources: cannot list the clients\n");
        return 1;
    }
    int clients = 0;
    long total = 0;
    unsigned long pixmap_bytes = 0;
    std::map<std::string, long> by_type;
    for (long i = 0; i < count; ++i) {
        if (XResGetClientPid(&ids[i]) != pid) continue;
        ++clients;
        const auto& [id, length, value] = ids[i];
        const XID client = id.client;
        int types = 0;
        XResType* list = nullptr;
        if (XResQueryClientResources(display, client, &types, &list)) {
            for (int t = 0; t < types; ++t) {
                char* name = XGetAtomName(display, list[t].resource_type);
                by_type[name ? name : "?"] += list[t].count;
                total += list[t].count;
                if (name) XFree(name);
            }
            XFree(list);
        }
        unsigned long bytes = 0;
        if (XResQueryClientPixmapBytes(display, client, &bytes)) pixmap_bytes += bytes;
    }
    XResClientIdsDestroy(count, ids);
    XCloseDisplay(display);
    if (clients == 0) {
        std::fprintf(stderr, "x_resources: process %ld has no connection\n",
                     static_cast<long>(pid));
        return 2;
    }
    std::printf("resources %ld pixmap-bytes %lu (", total, pixmap_bytes);
    for (const auto& [name, n] : by_type) std::printf(" %s %ld", name.c_str(), n);
    std::printf(" )\n");
    return 0;
}
