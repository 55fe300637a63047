// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/choice/backend_choice.h"

#include <string_view>

namespace platform {

std::vector<Backend> BackendsToTry(const char* forced, const char* wayland_display,
                                   const char* current_desktop, std::string& error) {
    if (forced && *forced) {
        const std::string_view name(forced);
        if (name == "wayland") return {Backend::kWayland};
        if (name == "kwin") return {Backend::kKWin};
        if (name == "gnome") return {Backend::kGnome};
        if (name == "x11") return {Backend::kX11};
        error = "RAVELKIN_BACKEND is '" + std::string(name) +
                "'; it may be wayland, kwin, gnome or x11";
        return {};
    }
    if (wayland_display && *wayland_display) {
        // A colon-separated list, such as "ubuntu:GNOME".
        bool gnome = false;
        for (std::string_view left(current_desktop ? current_desktop : ""); !gnome;) {
            const std::size_t colon = left.find(':');
            gnome = left.substr(0, colon) == "GNOME";
            if (colon == std::string_view::npos) break;
            left.remove_prefix(colon + 1);
        }
        if (gnome) return {Backend::kWayland, Backend::kKWin, Backend::kGnome, Backend::kX11};
        return {Backend::kWayland, Backend::kKWin, Backend::kX11};
    }
    return {Backend::kX11};
}

}  // namespace platform
