// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <system_error>
#include <thread>

namespace vision {

// Runs work(0) on this thread and work(1) on a helper when two workers are asked for. A helper
// that cannot start leaves its share to this thread, after its own.
inline void RunWorkers(int workers, const std::function<void(int)>& work) {
    std::thread helper;
    bool helped = workers <= 1;
    if (!helped) {
        try {
            helper = std::thread(work, 1);
            helped = true;
        } catch (const std::system_error&) {
        }
    }
    work(0);
    if (helper.joinable()) helper.join();
    if (!helped) work(1);
}

}  // namespace vision
