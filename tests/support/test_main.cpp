// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/trace.h"

int main(int argc, char** argv) {
    // Trace lines would drown the test report; tests that check them capture them.
    trace::SetOutput(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
