// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/desktop_contract.h"

namespace testing_support {

void FakeWorld::ShowPattern() {
    std::vector<std::uint8_t> bgr;
    for (int y = 0; y < kContractHeight; ++y) {
        for (int x = 0; x < kContractWidth; ++x) {
            const Rgb c = PatternPixel(x, y);
            bgr.insert(bgr.end(), {c.b, c.g, c.r});
        }
    }
    desktop_.SetScreen(kContractWidth, kContractHeight, std::move(bgr));
}

}  // namespace testing_support
