#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "vision/matcher.h"

// Exit statuses of the command-line runner.
enum ExitStatus : int {
    kExitCompleted = 0,
    kExitCancelled = 1,
    kExitFailed = 2,
    kExitNotLoaded = 3,
    kExitUsage = 64,
    kExitNoDesktop = 69,
};

struct CommandLine {
    enum class Action { kRun, kHelp, kVersion } action = Action::kHelp;
    std::vector<std::string> files;
    bool repeat = false;
    bool trace = false;
    std::optional<vision::MatcherKind> matcher;  // --matcher fast|opencv
    std::string error;                           // set when the words are off
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Opens the platform's desktop; on failure returns nullptr with a message.
using DesktopOpener = std::function<std::unique_ptr<platform::Desktop>(std::string& error)>;

// ravelkin --run FILE... [--repeat] [--trace] [--matcher NAME] | --help | --version
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const DesktopOpener& openDesktop);

extern const char kUsage[];
