#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// A program a test starts, its standard output and error read line by line; killed when this
// goes. Reads block: a test that waits for output that never comes ends at ctest's timeout.
class Process {
  public:
    // program and args as UTF-8, started in dir (the test's own when empty). Null when it
    // could not start.
    static std::unique_ptr<Process> Start(const std::filesystem::path& program,
                                          const std::vector<std::string>& args,
                                          const std::filesystem::path& dir = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line without its line end; false at the end of the output.
    bool ReadLine(std::string* line);
    // Reads the output to its end and waits for the program to end: its exit status.
    int Finish(std::string* rest = nullptr);
    // Sends SIGINT, as Ctrl+C in its terminal would (POSIX only).
    void Interrupt();
    // Ends it at once and returns what it had written and not yet been read.
    std::string Kill();

    struct Impl;

  private:
    explicit Process(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Calls done until it answers true or timeout has passed; on Windows it pumps this thread's
// messages meanwhile.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A program built beside the test program: "ravelkin", "ravelkin-target" (.exe on Windows).
std::filesystem::path BesideTests(const std::string& name);

}  // namespace testing_support
