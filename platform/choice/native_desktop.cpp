// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/native_desktop.h"

#include <cstdlib>

#include "platform/choice/backend_choice.h"
#include "platform/x11/x11_desktop.h"
#ifdef RAVELKIN_HAVE_WAYLAND
#include "platform/wayland/wayland_desktop.h"
#endif
#ifdef RAVELKIN_HAVE_KWIN
#include "platform/wayland/kwin/kwin_desktop.h"
#endif
#ifdef RAVELKIN_HAVE_GNOME
#include "platform/wayland/gnome/gnome_desktop.h"
#endif

namespace platform {

std::unique_ptr<Desktop> OpenNativeDesktop(std::string& error) {
    const std::vector<Backend> order =
        BackendsToTry(std::getenv("RAVELKIN_BACKEND"), std::getenv("WAYLAND_DISPLAY"),
                      std::getenv("XDG_CURRENT_DESKTOP"), error);
    std::string tried;
    for (Backend backend : order) {
        std::string why;
        if (backend == Backend::kWayland) {
#ifdef RAVELKIN_HAVE_WAYLAND
            wayland::OpenResult opened = wayland::WaylandDesktop::Open();
            if (opened.desktop) return std::move(opened.desktop);
            why = opened.error;
#else
            why = "this program was built without its Wayland backend";
#endif
            tried += (tried.empty() ? "" : "; ") + std::string("Wayland: ") + why;
        } else if (backend == Backend::kKWin) {
#ifdef RAVELKIN_HAVE_KWIN
            wayland::kwin::OpenResult opened = wayland::kwin::KWinDesktop::Open();
            if (opened.desktop) return std::move(opened.desktop);
            why = opened.error;
#else
            why = "this program was built without its KWin backend";
#endif
            tried += (tried.empty() ? "" : "; ") + std::string("KWin: ") + why;
        } else if (backend == Backend::kGnome) {
#ifdef RAVELKIN_HAVE_GNOME
            wayland::gnome::OpenResult opened = wayland::gnome::GnomeDesktop::Open();
            if (opened.desktop) return std::move(opened.desktop);
            why = opened.error;
#else
            why = "this program was built without its GNOME backend";
#endif
            tried += (tried.empty() ? "" : "; ") + std::string("GNOME: ") + why;
        } else {
            x11::OpenResult opened = x11::X11Desktop::Open();
            if (opened.desktop) return std::move(opened.desktop);
            tried += (tried.empty() ? "" : "; ") + std::string("X11: ") + opened.error;
        }
    }
    if (!order.empty())
        error = order.size() == 1 ? tried : "no desktop could be opened (" + tried + ")";
    return nullptr;
}

}  // namespace platform
