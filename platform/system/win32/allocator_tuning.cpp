#include "platform/allocator_tuning.h"

namespace platform {

bool KeepLargeBlocksInHeap() {
    return false;
}

}  // namespace platform
