// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <iterator>

namespace testing_support {

// How many file descriptors this process holds: a desktop that has gone must have closed its own.
inline int OpenFileCount() {
    using std::filesystem::directory_iterator;
    return static_cast<int>(std::distance(directory_iterator("/proc/self/fd"), {}));
}

}  // namespace testing_support
