#include "tests/win32/process.h"

#include <functional>
#include <vector>

namespace win32_testing {
std::wstring Wide(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    if (size > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

namespace {

// One argument as the C runtime splits a command line: quoted, with backslashes before a
// quote doubled.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

std::unique_ptr<Process> Process::Start(const std::filesystem::path& program,
                                        const std::vector<std::string>& args,
                                        const std::filesystem::path& dir) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return nullptr;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    std::wstring command = Quoted(program.wstring());
    for (const std::string& arg : args) command += L" " + Quoted(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    std::unique_ptr<Process> process(new Process);
    const std::wstring where = dir.wstring();
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       where.empty() ? nullptr : where.c_str(), &startup, &process->info_);
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return nullptr;
    }
    process->output_ = read_end;
    process->reader_ = std::thread([p = process.get()] { p->ReadAll(); });
    return process;
}

Process::~Process() {
    if (info_.hProcess) {
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 1);
        }
        WaitForSingleObject(info_.hProcess, 5000);
    }
    if (reader_.joinable()) reader_.join();
    if (output_) CloseHandle(output_);
    if (info_.hThread) CloseHandle(info_.hThread);
    if (info_.hProcess) CloseHandle(info_.hProcess);
}

void Process::ReadAll() {
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(output_, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        const std::lock_guard lock(mutex_);
        buffer_.append(chunk, got);
        arrived_.notify_all();
    }
    const std::lock_guard lock(mutex_);
    ended_ = true;
    arrived_.notify_all();
}

bool Process::ReadLine(std::string* line, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool ready = arrived_.wait_for(
        lock, timeout, [this] { return buffer_.find('\n') != std::string::npos || ended_; });
    const std::size_t end = buffer_.find('\n');
    if (!ready || (end == std::string::npos && buffer_.empty())) return false;
    *line = buffer_.substr(0, end);
    buffer_.erase(0, end == std::string::npos ? buffer_.size() : end + 1);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
}

bool Process::WaitExit(DWORD* code, std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(info_.hProcess, code);
    return true;
}

std::filesystem::path BesideTests(const std::string& name) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(std::wstring(self, length)).parent_path() / name;
}

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(25);
    }
    return done();
}

}  // namespace win32_testing
