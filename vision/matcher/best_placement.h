// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <limits>

namespace vision {

// The best score seen so far, at the first place row by row among equals.
struct BestPlacement {
    double score = -std::numeric_limits<double>::infinity();
    int x = 0;
    int y = 0;

    void TakeIfBetter(double s, int at_x, int at_y) {
        if (s > score || (s == score && (at_y < y || (at_y == y && at_x < x)))) {
            score = s;
            x = at_x;
            y = at_y;
        }
    }
};

}  // namespace vision
