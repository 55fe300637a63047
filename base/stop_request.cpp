// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/stop_request.h"

#include <atomic>

namespace stop_request {
namespace {
std::atomic<bool> g_raised{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

void Raise() {
    g_raised.store(true);
}
void Clear() {
    g_raised.store(false);
}
bool IsRaised() {
    return g_raised.load();
}

}  // namespace stop_request
