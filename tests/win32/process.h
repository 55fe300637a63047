#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace win32_testing {

using namespace std::chrono_literals;

// A child process whose standard output and error are read line by line; ended when this goes.
class Process {
  public:
    // program and args as UTF-8; started in dir. Null when it could not start.
    static std::unique_ptr<Process> Start(const std::filesystem::path& program,
                                          const std::vector<std::string>& args,
                                          const std::filesystem::path& dir);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line without its line end; false at the end of output or after timeout.
    bool ReadLine(std::string* line, std::chrono::milliseconds timeout);
    // The exit code; false when the process is still running after timeout.
    bool WaitExit(DWORD* code, std::chrono::milliseconds timeout);

  private:
    Process() = default;
    void ReadAll();

    PROCESS_INFORMATION info_{};
    HANDLE output_ = nullptr;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string buffer_;
    bool ended_ = false;
};

// UTF-8 text as UTF-16.
std::wstring Wide(const std::string& utf8);

// A program built beside the test program.
std::filesystem::path BesideTests(const std::string& name);

// Calls done until it answers true or a few seconds have passed, pumping this thread's
// messages meanwhile.
bool WaitUntil(const std::function<bool()>& done);

}  // namespace win32_testing
