// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_settings.h"
#include "platform/desktop.h"
#include "platform/geometry.h"
#include "vision/matcher/matcher.h"

namespace cv {
class Mat;
}

namespace app {

// Exit statuses of the command-line runner.
enum class ExitStatus : int {
    kCompleted = 0,
    kCancelled = 1,
    kFailed = 2,
    kNotLoaded = 3,
    kUsage = 64,
    kNoDesktop = 69,
};

struct CommandLine {
    enum class Action {
        kRun,
        kCheck,
        kCapture,
        kRecord,
        kSpy,
        kHelp,
        kVersion
    } action = Action::kHelp;
    std::vector<std::string> files;
    bool repeat = false;
    bool trace = false;
    std::optional<vision::MatcherKind> matcher;  // --matcher fast|opencv
    std::string report;                          // --report DIR
    std::int32_t capture = 0;                    // --capture N
    std::optional<platform::Rect> area;          // --area L,T,R,B
    std::string record;                          // --record FILE
    std::optional<std::int32_t> min_wait;        // --min-wait MS
    std::string error;                           // set when the words are off
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Opens the platform's desktop; on failure returns nullptr with a message.
using DesktopOpener = std::function<std::unique_ptr<platform::Desktop>(std::string& error)>;

// Shows a screenshot and lets the user drag a rectangle on it: the rectangle, or nothing when
// cancelled.
using AreaSelector = std::function<std::optional<platform::Rect>(const cv::Mat& screenshot)>;

// ravelkin --run FILE... [--repeat] [--trace] [--matcher NAME] [--report DIR] |
// --check FILE... | --capture N [--area L,T,R,B] |
// --record FILE [--area L,T,R,B] [--min-wait MS] | --spy | --help | --version. The settings are
// those the options start from (the environment's).
ExitStatus RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err, const DesktopOpener& open_desktop,
                          engine::RunSettings settings, const AreaSelector& select_area = {});

// The settings RAVELKIN_MATCHER asks for, for the runner and the dialog alike; an unknown
// name is reported on err and ignored.
engine::RunSettings SettingsFromEnvironment(std::ostream& err);

extern const char kUsage[];

}  // namespace app
