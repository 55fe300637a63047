// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/recorder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core.hpp>
#include <span>

#include "app/runner/template_capture.h"
#include "vision/capture_desktop.h"
#include "vision/template_path.h"
#include "windows/find_window.h"

namespace app {
namespace {

using platform::WatchedEvent;

// A press and release at most this far apart is a click; farther, a drag.
constexpr int kClickSlop = 4;
// A second click this soon at the same place makes a double click.
constexpr std::uint64_t kDoubleClickMs = 500;
// Half the sides of the pictures tried around a click, smallest first: 13 to 257 pixels. The
// smallest show a button's label without the frame every button shares; the largest reach
// the edges of a window whose buttons all look alike.
constexpr int kHalfSides[] = {6, 8, 12, 16, 24, 32, 48, 64, 96, 128};
// A picture is unique when nothing else on the screen scores above this.
constexpr double kMostRunnerUp = 0.95;

bool Near(platform::Point a, platform::Point b) {
    return std::abs(a.x - b.x) <= kClickSlop && std::abs(a.y - b.y) <= kClickSlop;
}

std::string At(platform::Point p) {
    return std::to_string(p.x) + "," + std::to_string(p.y);
}

}  // namespace

Recorder::Recorder(platform::Desktop& desktop, const RecordSettings& settings)
    : desktop_(desktop), settings_(settings), next_number_(settings.first_number) {}

void Recorder::CopyScreen() {
    const platform::Size size = desktop_.ScreenSize();
    const platform::Rect area =
        settings_.area.value_or(platform::Rect{0, 0, size.width, size.height});
    Snapshot snapshot;
    snapshot.origin = {area.left, area.top};
    // Without a copy a click is recorded by its place.
    if (!vision::CaptureDesktop(desktop_, &snapshot.screen, area)) snapshot.screen.release();
    desktop_.ForEachWindow([&](platform::WindowHandle window) {
        ShownWindow shown{window, windows::MatchedTitle(desktop_, window), std::nullopt};
        if (desktop_.IsWindowVisible(window) && !desktop_.IsWindowMinimised(window)) {
            shown.rect = desktop_.WindowRect(window);
        }
        snapshot.windows.push_back(std::move(shown));
        return true;
    });
    now_ = std::move(snapshot);
}

void Recorder::Unrecorded(const std::string& what) {
    lines_.push_back("; not recorded: " + what);
    unrecorded_.push_back(what);
}

std::vector<std::string> Recorder::unrecorded() const {
    std::vector<std::string> all = unrecorded_;
    all.insert(all.end(), keys_.unrecorded().begin(), keys_.unrecorded().end());
    return all;
}

void Recorder::Take(const WatchedEvent& event) {
    if (event.kind == WatchedEvent::Kind::kMotion) return;
    if (event.kind == WatchedEvent::Kind::kWheel) {
        if (!wheel_noted_) {
            keys_.Flush();
            Unrecorded("the wheel turned at " + At(event.at) + ": a script cannot turn it");
        }
        wheel_noted_ = true;
        return;
    }
    wheel_noted_ = false;
    // A pause before a press goes where the next line does: for a modifier, that is at a later
    // event, or nowhere (the right CTRL that ends the recording comes after it).
    if (event.down && last_action_ms_ && event.ms > *last_action_ms_ + settings_.min_wait_ms) {
        keys_.Flush();
        if (!pause_) pause_ = Pause{lines_.size(), 0};
        pause_->ms += event.ms - *last_action_ms_;
    }
    last_action_ms_ = event.ms;
    Handle(event);
    if (pause_ && lines_.size() > pause_->at) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pause_->at),
                      "WAIT " + std::to_string((pause_->ms + 50) / 100 * 100));
        pause_.reset();
    }
}

void Recorder::Handle(const WatchedEvent& event) {
    if (event.kind == WatchedEvent::Kind::kKey) {
        keys_.Take(event);
    } else if (!event.button) {
        if (event.down) {
            keys_.Flush();
            Unrecorded("a click of another button than the left and right at " + At(event.at));
        }
    } else if (event.down && !press_) {
        press_ = Press{event, now_};
    } else if (!event.down && press_ && press_->event.button == event.button) {
        Release(event);
    }
}

void Recorder::Release(const WatchedEvent& release) {
    const Press press = std::move(*press_);
    press_.reset();
    const platform::Point at = press.event.at;
    keys_.BeforeAction();
    if (keys_.ShiftHeld()) Unrecorded("Shift held during the click at " + At(at));
    if (press.event.button == platform::Button::kRight) {
        CheckWindow(at, press.before);
        if (Place(at, press.before, "IMG")) lines_.push_back("RCLICK");
        return;
    }
    if (Near(release.at, at)) {
        // The pointer is there already, and a second search would make the click too late
        // to count as double.
        if (last_click_ && Near(last_click_->at, at) &&
            press.event.ms <= last_click_->ms + kDoubleClickMs) {
            lines_.push_back("CLK");
            last_click_ = press.event;  // a third click is one more
            return;
        }
        CheckWindow(at, press.before);
        if (Place(at, press.before, "IMG_CLK")) last_click_ = press.event;
        return;
    }
    CheckWindow(at, press.before);
    if (!Place(at, press.before, "IMG")) return;
    lines_.push_back("DRAG");
    // The end as the screen looked during the drag, when it was last copied.
    if (Place(release.at, now_, "IMG")) lines_.push_back("DROP");
}

void Recorder::CheckWindow(platform::Point at, const Snapshot& snapshot) {
    const auto hit =
        std::find_if(snapshot.windows.begin(), snapshot.windows.end(), [&](const ShownWindow& w) {
            return w.rect && at.x >= w.rect->left && at.x < w.rect->right && at.y >= w.rect->top &&
                   at.y < w.rect->bottom;
        });
    if (hit == snapshot.windows.end() || window_ == hit->handle) return;
    window_ = hit->handle;
    if (hit->title.empty()) return;
    std::vector<std::string> others;
    for (const ShownWindow& w : snapshot.windows) {
        if (w.handle != hit->handle) others.push_back(w.title);
    }
    lines_.push_back("CHK_WIND " + windows::UniqueTitlePiece(hit->title, others));
}

bool Recorder::Place(platform::Point at, const Snapshot& snapshot, const char* keyword) {
    const cv::Mat& screen = snapshot.screen;
    // In 64 bits: --area may begin anywhere.
    const std::int64_t from_x = std::int64_t{at.x} - snapshot.origin.x;
    const std::int64_t from_y = std::int64_t{at.y} - snapshot.origin.y;
    std::string why;
    if (screen.empty()) {
        why = "the screen could not be copied";
    } else if (from_x < 0 || from_y < 0 || from_x >= screen.cols || from_y >= screen.rows) {
        why = "outside the part of the screen pictures are cut from";
    }
    const int x = why.empty() ? static_cast<int>(from_x) : 0;
    const int y = why.empty() ? static_cast<int>(from_y) : 0;
    for (const int half : why.empty() ? std::span(kHalfSides) : std::span<const int>()) {
        const int half_x = std::min({half, x, screen.cols - 1 - x});
        const int half_y = std::min({half, y, screen.rows - 1 - y});
        if (std::min(half_x, half_y) < 4) {
            why = "too near the edge of the screen for a picture";
            break;
        }
        // Centred on the point, as a found picture is clicked at its centre.
        const platform::Rect cut{x - half_x, y - half_y, x + half_x + 1, y + half_y + 1};
        TemplateScore score;
        const bool scored = ScoreTemplate(matcher_, screen, cut, &score, kMostRunnerUp);
        if (!scored) {
            why = "no memory to score a picture";
            break;
        }
        if (score.own <= 0) {
            why = "the screen is black there";
            break;
        }
        if (score.runner_up > kMostRunnerUp) {
            const platform::Point rival{score.runner_up_at.x + snapshot.origin.x,
                                        score.runner_up_at.y + snapshot.origin.y};
            why = "no picture around it up to " + std::to_string(2 * half_x + 1) + "x" +
                  std::to_string(2 * half_y + 1) + " pixels is unique: the place at " + At(rival) +
                  " scores " + Percent(score.runner_up * 100) + " %";
            // A cut the screen's edge keeps from growing gives the same answer again.
            if (half_x < half && half_y < half) break;
            continue;
        }
        const cv::Mat picture =
            screen(cv::Rect(cut.left, cut.top, cut.right - cut.left, cut.bottom - cut.top));
        const auto same = std::find_if(pictures_.begin(), pictures_.end(), [&](const Saved& s) {
            return s.picture.size() == picture.size() &&
                   cv::norm(s.picture, picture, cv::NORM_INF) == 0;
        });
        std::int32_t number = same == pictures_.end() ? 0 : same->number;
        if (!number) {
            // Never over a picture that is there, whoever saved it.
            std::error_code ec;
            while (std::filesystem::exists(vision::TemplatePath(next_number_), ec)) ++next_number_;
            number = next_number_++;
            const std::string path = vision::TemplatePath(number);
            if (!WriteTemplate(path, picture, &error_)) return false;
            saved_.push_back(path);
            pictures_.push_back({picture.clone(), number});
        }
        const platform::Rect area{
            score.area.left + snapshot.origin.x, score.area.top + snapshot.origin.y,
            score.area.right + snapshot.origin.x, score.area.bottom + snapshot.origin.y};
        lines_.push_back(TemplateLine(keyword, number, area, score.threshold));
        return true;
    }
    Unrecorded("a picture of " + At(at) + ": " + why + "; the place is used instead");
    lines_.push_back("MOV " + At(at));
    if (std::string_view(keyword) == "IMG_CLK") lines_.push_back("CLK");
    return true;
}

void Recorder::Finish() {
    if (press_) {
        keys_.Flush();
        Unrecorded("a press at " + At(press_->event.at) +
                   " whose button was still down at the end");
        press_.reset();
    }
    keys_.Finish();
}

std::int32_t NextTemplateNumber(const std::string& images_folder) {
    std::int32_t highest = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(images_folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string stem = it->path().stem().string();
        std::string extension = it->path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension != ".bmp" || stem.empty() || stem.size() > 9 ||
            !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        highest = std::max(highest, static_cast<std::int32_t>(std::stoi(stem)));
    }
    return highest + 1;
}

}  // namespace app
