// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/record_script.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/core/utility.hpp>

#include "base/stop_request.h"
#include "base/trace.h"
#include "platform/input_watch.h"
#include "platform/virtual_keys.h"
#include "vision/template_path.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// OpenCV's thread count for a while, then as it was.
class OpenCvThreads {
  public:
    explicit OpenCvThreads(int count) : before_(cv::getNumThreads()) { cv::setNumThreads(count); }
    ~OpenCvThreads() { cv::setNumThreads(before_); }
    OpenCvThreads(const OpenCvThreads&) = delete;
    OpenCvThreads& operator=(const OpenCvThreads&) = delete;

  private:
    int before_;
};

// While the pointer moves, the screen is copied this often at most, and once more when the
// user has been still this long after a click or a key.
constexpr auto kCopyEvery = std::chrono::milliseconds(100);
constexpr auto kSettled = std::chrono::milliseconds(250);

// The file a script is written to before it takes the script's name; gone when this ends.
struct PartFile {
    std::string path;
    ~PartFile() {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

std::string Reason() {
    return errno ? std::strerror(errno) : "the disk refused it";
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines,
                std::string* error) {
    errno = 0;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) file << line << '\n';
    file.close();
    if (file) return true;
    *error = "cannot write " + path + ": " + Reason();
    return false;
}

}  // namespace

RecordResult RecordScript(platform::Desktop& desktop, const std::string& path,
                          RecordSettings settings,
                          const std::function<bool(const std::string& path)>& replace,
                          const std::function<void()>& started) {
    RecordResult result;
    std::error_code ec;
    if (fs::exists(path, ec) && !replace(path)) {
        result.error = path + " exists and stays as it is";
        return result;
    }
    // Shown to take a file before the user works for nothing.
    const PartFile part{path + ".part"};
    if (!WriteLines(part.path, {}, &result.error)) return result;
    std::string why;
    const std::unique_ptr<platform::InputWatch> watch = desktop.WatchInput(why);
    if (!watch) {
        result.error = "cannot record: " + why;
        return result;
    }

    settings.first_number =
        NextTemplateNumber(fs::path(vision::TemplatePath(1)).parent_path().string());
    if (started) started();
    // OpenCV's own threads spin while they wait for work, which costs more than the share of
    // a screen copy's conversion they would take: the copies are made on this thread alone.
    const OpenCvThreads one_thread(1);
    Recorder recorder(desktop, settings);
    recorder.CopyScreen();
    auto last_copy = Clock::now();
    auto last_event = last_copy;
    bool settled = true;  // no click or key since the last copy
    std::string ended;
    while (!stop_request::IsRaised()) {
        const auto event = watch->Next(50);
        const auto now = Clock::now();
        if (!event) {
            if (const auto lost = watch->Lost()) {
                ended = *lost;
                break;
            }
            if (!settled && now - last_event >= kSettled) {
                recorder.CopyScreen();
                last_copy = now;
                settled = true;
            }
            continue;
        }
        trace::Printf("event %d at %d,%d button %d down %d key %d \"%s\" %s, %llu ms\n",
                      static_cast<int>(event->kind), event->at.x, event->at.y,
                      event->button ? static_cast<int>(*event->button) : -1, event->down, event->vk,
                      event->text.c_str(), event->name.c_str(),
                      static_cast<unsigned long long>(event->ms));
        if (event->kind == platform::WatchedEvent::Kind::kKey &&
            event->vk == platform::vk::kRControl) {
            if (event->down) break;
            continue;
        }
        if (event->kind == platform::WatchedEvent::Kind::kMotion) {
            // Not while a click waits to be read: the copy must show the screen before it.
            if (now - last_copy >= kCopyEvery && !watch->Pending()) {
                recorder.CopyScreen();
                last_copy = now;
                settled = true;
            }
            continue;
        }
        recorder.Take(*event);
        last_event = now;
        settled = false;
        if (!recorder.error().empty()) break;
    }
    recorder.Finish();

    const auto remove_saved = [&] {
        for (const std::string& saved : recorder.saved()) fs::remove(saved, ec);
    };
    if (!recorder.error().empty()) {
        remove_saved();
        result.error = recorder.error() + "; nothing was recorded";
        return result;
    }
    std::string error;
    if (!WriteLines(part.path, recorder.lines(), &error)) {
        remove_saved();
        result.error = error + "; nothing was recorded";
        return result;
    }
    fs::rename(part.path, path, ec);
    if (ec) {
        remove_saved();
        result.error = "cannot write " + path + ": " + ec.message() + "; nothing was recorded";
        return result;
    }
    result.written = true;
    if (!ended.empty()) result.error = "the recording ended early: " + ended;

    result.summary = path + ": " + std::to_string(recorder.lines().size()) + " lines written, " +
                     std::to_string(recorder.saved().size()) + " templates saved";
    for (std::size_t i = 0; i < recorder.saved().size(); ++i) {
        result.summary += (i ? ", " : " (") + recorder.saved()[i];
    }
    result.summary += recorder.saved().empty() ? "\n" : ")\n";
    const std::vector<std::string> unrecorded = recorder.unrecorded();
    if (!unrecorded.empty()) {
        result.summary += "Not recorded as done (" + std::to_string(unrecorded.size()) +
                          "), see the comments in the script:\n";
        for (const std::string& what : unrecorded) result.summary += "  " + what + "\n";
    }
    return result;
}

}  // namespace app
