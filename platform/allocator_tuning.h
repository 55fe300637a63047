// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace platform {

// Every search allocates and frees pictures and score maps of megabytes. By default glibc maps
// each such block fresh from the kernel and returns it on free, so every search pays a page
// fault per 4 KiB touched: more than half of cv::matchTemplate's time on a full HD screen.
// Called once at start-up, this keeps large blocks in the heap for reuse. Does nothing where
// the C library offers no such setting. True when applied.
bool KeepLargeBlocksInHeap();

}  // namespace platform
