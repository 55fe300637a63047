// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>

namespace testing_support {

// How many file descriptors this process holds: a desktop that has gone must have closed its own.
inline int OpenFileCount() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        count += entry.is_symlink() ? 1 : 0;
    }
    return count;
}

}  // namespace testing_support
