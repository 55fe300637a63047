#include "engine/stop_request.h"

#include <atomic>

#include "platform/desktop.h"
#include "platform/virtual_keys.h"

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

bool StopWanted() {
    return platform::Active().IsKeyDown(platform::vk::kRControl) || IsRaised();
}

}  // namespace stop_request
