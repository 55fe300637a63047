#include "vision/allocator_tuning.h"

bool KeepLargeBlocksInHeap() {
    return false;
}
