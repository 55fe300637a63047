// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "platform/process.h"

namespace platform {

std::filesystem::path OwnExecutable() {
    // The call cuts the name short, without saying so but by filling the buffer: grow it.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) return name.substr(0, length);
        name.resize(name.size() * 2);
    }
}

}  // namespace platform
