// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/choice/backend_choice.h"

#include <string_view>

namespace platform {

std::vector<Backend> BackendsToTry(const char* forced, const char* wayland_display,
                                   std::string& error) {
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
        return {Backend::kWayland, Backend::kKWin, Backend::kGnome, Backend::kX11};
    }
    return {Backend::kX11};
}

}  // namespace platform
