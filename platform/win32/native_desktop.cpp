// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/native_desktop.h"

#include "platform/win32/win32_desktop.h"

namespace platform {

std::unique_ptr<Desktop> OpenNativeDesktop(std::string&) {
    return std::make_unique<win32::Win32Desktop>();
}

}  // namespace platform
