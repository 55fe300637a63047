// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "app/dialog/gui.h"
#include "app/runner/command_line.h"

// libexec/ravelkin/ravelkin VIEW [ARG...]: the user interface on Linux, which ravelkin starts
// in its place with its own file as argv[0].
int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "ravelkin: this user interface is started by bin/ravelkin\n";
        return static_cast<int>(app::ExitStatus::kUsage);
    }
    return app::RunGui({argv[0], argv[1], {argv + 2, argv + argc}});
}
