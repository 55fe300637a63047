// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/platform/wayland/sway_testing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

extern char** environ;

namespace sway_testing {

std::string ProgramDir() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

Child::Child(const std::vector<std::string>& args, const std::string& dir, bool with_errors) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (with_errors) posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    fd_ = out[0];
    fcntl(fd_, F_SETFL, O_NONBLOCK);
}

Child::~Child() {
    End(SIGKILL);
    if (fd_ >= 0) close(fd_);
}

const std::string& Child::Output() {
    char buffer[4096];
    ssize_t n;
    while (fd_ >= 0 && (n = read(fd_, buffer, sizeof buffer)) > 0) output_.append(buffer, n);
    return output_;
}

int Child::End(int signal) {
    if (pid_ <= 0) return -1;
    if (signal) kill(pid_, signal);
    int status = 0;
    // Reads meanwhile: a child blocks on a full pipe.
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        Output();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Output();
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::string> Child::Finish() {
    // All of it first: a child blocks on a full pipe until it is read.
    fcntl(fd_, F_SETFL, 0);
    Output();
    int status = -1;
    while (pid_ > 0 && waitpid(pid_, &status, 0) < 0) {
    }
    pid_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output_;
}

}  // namespace sway_testing
