// SPDX-License-Identifier: GPL-3.0-or-later
#include <malloc.h>

#include "platform/allocator_tuning.h"

namespace platform {

bool KeepLargeBlocksInHeap() {
    // No block from mmap, and up to 256 MiB of freed memory stays at the top of the heap
    // instead of going back to the kernel.
    const bool no_mmap = mallopt(M_MMAP_MAX, 0) == 1;
    const bool no_trim = mallopt(M_TRIM_THRESHOLD, 256 << 20) == 1;
    return no_mmap && no_trim;
}

}  // namespace platform
