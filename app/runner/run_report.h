// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/runner/script_run.h"
#include "engine/run_observer.h"
#include "platform/desktop.h"

namespace app {

// The report of a job, DIR/index.html with its pictures beside it, which opens in any browser
// without a network. For each file: every line that ran with its log text, its result and its
// time; for each picture search, the search area with the best placement outlined and its
// score against the threshold; for each window search, the window found, or the titles of the
// windows shown; for the line that failed, its error and the whole screen at that moment.
class RunReport final : public engine::RunObserver {
  public:
    RunReport(std::filesystem::path dir, platform::Desktop& desktop)
        : dir_(std::move(dir)), desktop_(desktop) {}

    // Makes the folder; false, with the reason, when it cannot.
    bool Open(std::string* error);
    void FileStarted(const std::string& name);
    void FileEnded(RunOutcome outcome, const std::string& error_text);
    // Writes index.html; false, with the reason, when it cannot.
    bool Write(std::string* error) const;

    void LineStarted(std::size_t index, const std::string& line) override;
    void LineFinished(std::size_t index, int result, std::string_view log,
                      std::string_view error) override;
    void ImageSearched(const platform::Rect& area, const std::string& path,
                       const vision::ImageSearch& search) override;
    void ImageJudged(double threshold, bool found) override;
    void WindowSearched(std::string_view title,
                        const std::optional<windows::WindowMatch>& match) override;

  private:
    struct Line {
        std::string text;
        std::string log;
        int result = 0;
        double ms = 0;
        std::string details;  // HTML
    };
    struct File {
        std::string name;
        std::vector<Line> lines;
        std::string end;         // HTML: how the run ended
        std::string screenshot;  // the screen when a line failed
    };

    // Saves a picture beside the page, no wider than max_width; its file name, or empty.
    std::string SavePicture(const cv::Mat& picture, const std::string& name, int max_width) const;

    std::filesystem::path dir_;
    platform::Desktop& desktop_;
    std::vector<File> files_;
    std::chrono::steady_clock::time_point line_start_;
    double last_score_ = 0;  // of the last search, for its verdict
};

}  // namespace app
