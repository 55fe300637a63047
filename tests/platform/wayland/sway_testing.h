// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the Wayland tests share: programs they start beside the one under test.

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace sway_testing {

// The folder of the test program, where ravelkin-wayland-target is built too.
std::string ProgramDir();

// A child process whose standard output (and error, with_errors) comes back through a pipe,
// started in dir (the test's own folder unless given); killed if still running at the end.
class Child {
  public:
    explicit Child(const std::vector<std::string>& args, const std::string& dir = {},
                   bool with_errors = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Everything it has written so far.
    const std::string& Output();
    bool Said(const std::string& line) {
        return ("\n" + Output()).find("\n" + line + "\n") != std::string::npos;
    }
    bool Says(const std::string& text) { return Output().find(text) != std::string::npos; }
    pid_t pid() const { return pid_; }
    // Sends the signal (0: none, it ends by itself) and waits for its end, reading meanwhile;
    // its exit status, or -1 when a signal ended it.
    int End(int signal = SIGTERM);
    // Waits for it to end by itself; its output, or nothing when it failed.
    std::optional<std::string> Finish();

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string output_;
};

}  // namespace sway_testing
