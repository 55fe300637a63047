// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/native_desktop.h"

#include "platform/x11/x11_desktop.h"

namespace platform {

std::unique_ptr<Desktop> OpenNativeDesktop(std::string& error) {
    x11::OpenResult opened = x11::X11Desktop::Open();
    if (!opened.desktop) error = opened.error;
    return std::move(opened.desktop);
}

}  // namespace platform
