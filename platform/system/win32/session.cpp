// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdlib>

#include "platform/session.h"

namespace platform {

bool InWaylandSession() {
    return false;
}

std::filesystem::path UserConfigDir() {
    const char* data = std::getenv("APPDATA");
    return data && *data ? std::filesystem::path(data) / "Ravelkin" : std::filesystem::path();
}

}  // namespace platform
