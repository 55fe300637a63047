#include <windows.h>

#include "platform/win32/text.h"
#include "tests/support/process.h"

namespace testing_support {

struct Process::Impl {
    PROCESS_INFORMATION info{};
    HANDLE output = nullptr;
};

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
    return out.append(slashes * 2, L'\\') + L"\"";
}

}  // namespace

Process::Process(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Process> Process::Start(const std::filesystem::path& program,
                                        const std::vector<std::string>& args,
                                        const std::filesystem::path& dir) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return nullptr;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = Quoted(program.wstring());
    for (const std::string& arg : args) command += L" " + Quoted(platform::win32::Utf8ToUtf16(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    auto impl = std::make_unique<Impl>();
    const std::wstring where = dir.wstring();
    const BOOL started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       where.empty() ? nullptr : where.c_str(), &startup, &impl->info);
    CloseHandle(write_end);
    if (!started) return CloseHandle(read_end), nullptr;
    impl->output = read_end;
    return std::unique_ptr<Process>(new Process(std::move(impl)));
}

Process::~Process() {
    Kill();
    CloseHandle(impl_->output);
    CloseHandle(impl_->info.hThread);
    CloseHandle(impl_->info.hProcess);
}

bool Process::ReadLine(std::string* line) {
    line->clear();
    char c = 0;
    DWORD got = 0;
    bool any = false;
    while (ReadFile(impl_->output, &c, 1, &got, nullptr) && got == 1 && (any = true) && c != '\n') {
        if (c != '\r') *line += c;
    }
    return any;
}

int Process::Finish(std::string* rest) {
    for (std::string line; ReadLine(&line);) {
        if (rest) *rest += line + "\n";
    }
    WaitForSingleObject(impl_->info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(impl_->info.hProcess, &code);
    return static_cast<int>(code);
}

std::string Process::Kill() {
    TerminateProcess(impl_->info.hProcess, 1);
    std::string rest;
    Finish(&rest);
    return rest;
}

std::filesystem::path BesideTests(const std::string& name) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(std::wstring(self, length)).parent_path() / (name + ".exe");
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
    return true;
}

}  // namespace testing_support
