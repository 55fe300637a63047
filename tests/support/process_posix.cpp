#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "tests/support/process.h"

namespace testing_support {

struct Process::Impl {
    pid_t pid;
    std::FILE* out;
};

Process::Process(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Process> Process::Start(const std::filesystem::path& program,
                                        const std::vector<std::string>& args,
                                        const std::filesystem::path& dir) {
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    const std::string path = program.string();
    const std::string where = dir.string();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return nullptr;
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        if (!where.empty() && chdir(where.c_str()) != 0) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    if (pid < 0) return close(out[0]), nullptr;
    return std::unique_ptr<Process>(new Process(std::make_unique<Impl>(pid, fdopen(out[0], "r"))));
}

Process::~Process() {
    Kill();
    std::fclose(impl_->out);
}

bool Process::ReadLine(std::string* line) {
    line->clear();
    for (int c; (c = std::fgetc(impl_->out)) != EOF && c != '\n';) *line += static_cast<char>(c);
    return !line->empty() || !std::feof(impl_->out);
}

int Process::Finish(std::string* rest) {
    for (std::string line; ReadLine(&line);) {
        if (rest) *rest += line + "\n";
    }
    int status = 0;
    if (impl_->pid < 0 || waitpid(impl_->pid, &status, 0) != impl_->pid) return -1;
    impl_->pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Process::Interrupt() {
    if (impl_->pid > 0) kill(impl_->pid, SIGINT);
}

std::string Process::Kill() {
    if (impl_->pid > 0) kill(impl_->pid, SIGKILL);
    std::string rest;
    Finish(&rest);
    return rest;
}

std::filesystem::path BesideTests(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace testing_support
