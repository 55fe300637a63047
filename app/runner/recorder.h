// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/runner/key_lines.h"
#include "platform/desktop.h"
#include "platform/geometry.h"
#include "platform/input_watch.h"
#include "vision/matcher/fast_matcher.h"

namespace app {

struct RecordSettings {
    std::optional<platform::Rect> area;  // the part of the screen pictures are cut from
    std::uint32_t min_wait_ms = 500;     // a longer pause between two actions becomes WAIT
    std::int32_t first_number = 1;       // of the first template saved
};

// Turns what the user does into script lines. Clicks become IMG_CLK on a picture of the screen
// around the click, as the last copy of the screen showed it, large enough to be told apart
// from every other place on it; keys become STR and OPE lines (KeyLines); a click in another
// window than the last one is preceded by CHK_WIND.
class Recorder {
  public:
    Recorder(platform::Desktop& desktop, const RecordSettings& settings);

    // Copies the screen and notes its windows, as what the next click is cut from.
    void CopyScreen();
    void Take(const platform::WatchedEvent& event);
    // Ends the recording: the text typed last, the modifiers let go.
    void Finish();

    const std::vector<std::string>& lines() const { return lines_; }
    const std::vector<std::string>& saved() const { return saved_; }  // template paths
    // What could not be recorded as the user did it, a line each.
    std::vector<std::string> unrecorded() const;
    // Why recording cannot go on (a template could not be saved); empty while it can.
    const std::string& error() const { return error_; }

  private:
    struct ShownWindow {
        platform::WindowHandle handle;
        std::string title;
        std::optional<platform::Rect> rect;  // nothing for one hidden or minimised
    };
    // The screen as it was at one moment, and its windows, top first.
    struct Snapshot {
        cv::Mat screen;
        platform::Point origin;  // of screen, on the desktop
        std::vector<ShownWindow> windows;
    };
    struct Saved {
        cv::Mat picture;
        std::int32_t number;
    };
    struct Press {
        platform::WatchedEvent event;
        Snapshot before;
    };

    // Everything but the pause before the event.
    void Handle(const platform::WatchedEvent& event);
    void Release(const platform::WatchedEvent& release);
    // The line that puts the pointer at the point, found by a picture cut from the snapshot
    // (keyword IMG_CLK or IMG), or MOV with a comment; false when a picture was not saved.
    bool Place(platform::Point at, const Snapshot& snapshot, const char* keyword);
    void CheckWindow(platform::Point at, const Snapshot& snapshot);
    void Unrecorded(const std::string& what);

    platform::Desktop& desktop_;
    RecordSettings settings_;
    Snapshot now_;
    std::optional<Press> press_;
    std::optional<std::uint64_t> last_action_ms_;
    // A pause not yet written: where its WAIT goes, and how long it was.
    struct Pause {
        std::size_t at;
        std::uint64_t ms;
    };
    std::optional<Pause> pause_;
    std::optional<platform::WatchedEvent> last_click_;
    std::optional<platform::WindowHandle> window_;
    bool wheel_noted_ = false;
    std::int32_t next_number_;
    std::vector<Saved> pictures_;
    std::vector<std::string> lines_;
    std::vector<std::string> saved_;
    std::vector<std::string> unrecorded_;
    KeyLines keys_{lines_};
    std::string error_;
    vision::FastMatcher matcher_;  // its buffers and plans serve every click
};

// One more than the highest N of the Images/N.bmp files in the folder; 1 when there is none.
std::int32_t NextTemplateNumber(const std::string& images_folder);

}  // namespace app
