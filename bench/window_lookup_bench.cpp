// SPDX-License-Identifier: GPL-3.0-or-later
// One window lookup, as CHK_WIND makes it (every window's title, and the found one's state
// and rectangle), among 10, 30 and 100 xterm windows under the window manager of $DISPLAY:
// through the X11 backend ("ours"), through the lookup as it was before its requests were
// pipelined ("old": bench/old_window_lookup, the backend's calls then and the order they were
// made in), and `wmctrl -l -G` listing every window with its geometry, a whole process
// ("wmctrl"), in the same iterations. Before timing, the two lookups must see the same windows
// in the same order with the same titles, states and rectangles. Round trips are counted as
// the writev calls that `strace -c` sees: in this process for a lookup, under strace for
// wmctrl. Needs xterm and wmctrl (strace for wmctrl's count). Run it on a private display with
// openbox:
//   scripts/lib/with-display build/bin/window_lookup_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/trace.h"
#include "bench/old_window_lookup.h"
#include "bench/race.h"
#include "platform/x11/x11_desktop.h"
#include "tests/platform/x11/x_testing.h"
#include "windows/find_window.h"
// After the others: Xlib's macros (None, Status) clash with names in them.
#include <X11/Xatom.h>

extern char** environ;

namespace {

// The window looked for: the first xterm started, below all the others.
constexpr char kTarget[] = "bench window 001";

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs a program to its end; true when it succeeded.
bool Run(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The writev calls of a whole process, from strace -c; -1 when it cannot be counted.
long WritevsOf(std::vector<std::string> args) {
    char path[] = "/tmp/window_lookup_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return -1;
    close(fd);
    args.insert(args.begin(), {"strace", "-f", "-c", "-e", "trace=writev", "-o", path});
    long calls = Run(args) ? 0 : -1;
    std::ifstream summary(path);
    for (std::string line; calls == 0 && std::getline(summary, line);) {
        std::istringstream fields(line);
        std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
        if (words.size() >= 5 && words.back() == "writev") calls = std::stol(words[3]);
    }
    std::remove(path);
    return calls;
}

// The xterms on the display, each a process of its own, started and ended as asked.
class Xterms {
  public:
    Xterms() : display_(XOpenDisplay(nullptr)) {}
    ~Xterms() {
        Resize(0);
        if (display_) XCloseDisplay(display_);
    }
    Xterms(const Xterms&) = delete;
    Xterms& operator=(const Xterms&) = delete;

    // Starts or ends xterms until there are n; true once the window manager manages exactly n
    // windows.
    bool Resize(std::size_t n) {
        while (pids_.size() > n) {
            kill(pids_.back(), SIGTERM);
            waitpid(pids_.back(), nullptr, 0);
            pids_.pop_back();
        }
        while (pids_.size() < n) {
            const std::size_t i = pids_.size();
            char title[48];
            std::snprintf(title, sizeof title, "bench window %03zu", i + 1);
            const std::string at = "30x6+" + std::to_string(20 + 7 * (i % 100)) + "+" +
                                   std::to_string(20 + 5 * (i % 100));
            const pid_t pid =
                Spawn({"xterm", "-T", title, "-geometry", at, "-e", "sleep", "infinity"});
            if (pid <= 0) return false;
            pids_.push_back(pid);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (Managed() != n) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

  private:
    // The length of the window manager's list of the windows it manages.
    std::size_t Managed() {
        if (!display_) return SIZE_MAX;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display_, DefaultRootWindow(display_),
                           XInternAtom(display_, "_NET_CLIENT_LIST", False), 0, 100000, False,
                           XA_WINDOW, &type, &format, &count, &after, &data);
        if (data) XFree(data);
        return type == XA_WINDOW ? count : SIZE_MAX;
    }

    Display* display_;
    std::vector<pid_t> pids_;
};

Xterms* g_xterms = nullptr;

// Every window as a lookup sees it, top first.
std::string Listing(platform::Desktop& desktop) {
    std::string all;
    desktop.ForEachWindow([&](platform::WindowHandle w) {
        const auto r = desktop.WindowRect(w);
        all += desktop.WindowTitle(w) + (desktop.IsWindowMinimised(w) ? " minimised" : "") +
               (desktop.IsWindowVisible(w) ? " shown" : "") +
               (r ? " " + std::to_string(r->left) + "," + std::to_string(r->top) + "," +
                        std::to_string(r->right) + "," + std::to_string(r->bottom)
                  : " gone") +
               "\n";
        return true;
    });
    return all;
}

bool Lookup(platform::Desktop& desktop) {
    return windows::FindWindowByTitle(desktop, kTarget).has_value();
}
bool OldLookup(bench::OldWindowLookup& old) {
    return bench::OldFindWindowByTitle(old, kTarget).has_value();
}

long Writevs(const std::function<bool()>& lookup) {
    const long before = x11_testing::SentSoFar().flushes;
    lookup();
    return x11_testing::SentSoFar().flushes - before;
}

void WindowLookup(benchmark::State& state) {
    const auto windows = static_cast<std::size_t>(state.range(0));
    if (!g_xterms->Resize(windows)) {
        state.SkipWithError("the xterms did not all come up under a window manager");
        return;
    }
    auto ours = platform::x11::X11Desktop::Open();
    bench::OldWindowLookup old;
    if (!ours.desktop || !old.ok()) {
        state.SkipWithError("no display");
        return;
    }
    // The same windows, in the same order, with the same titles, states and rectangles.
    const std::string listing = Listing(*ours.desktop);
    const auto found = windows::FindWindowByTitle(*ours.desktop, kTarget);
    const auto found_old = bench::OldFindWindowByTitle(old, kTarget);
    if (listing != Listing(old) || !found || !found_old || found->handle != *found_old) {
        state.SkipWithError("the lookups differ");
        return;
    }
    bench::Race(state, {"ours", "old", "wmctrl"},
                {[&] { return Lookup(*ours.desktop); }, [&] { return OldLookup(old); },
                 [] {
                     return Run({"wmctrl", "-l", "-G"});
                 }});
    state.counters["ours_round_trips"] =
        static_cast<double>(Writevs([&] { return Lookup(*ours.desktop); }));
    state.counters["old_round_trips"] =
        static_cast<double>(Writevs([&] { return OldLookup(old); }));
    state.counters["wmctrl_round_trips"] = static_cast<double>(WritevsOf({"wmctrl", "-l", "-G"}));
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr,
                     "window_lookup_bench: no $DISPLAY; run it under scripts/lib/with-display\n");
        return 1;
    }
    trace::SetOutput(nullptr);
    Xterms xterms;
    g_xterms = &xterms;
    for (const int windows : {10, 30, 100}) {
        benchmark::RegisterBenchmark("WindowLookup/xterms", WindowLookup)
            ->Arg(windows)
            ->Iterations(20);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
