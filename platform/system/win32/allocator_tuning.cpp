// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/allocator_tuning.h"

namespace platform {

bool KeepLargeBlocksInHeap() {
    return false;
}

}  // namespace platform
