#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <ostream>

#include "app/script_job.h"
#include "app/script_run.h"
#include "app/version.h"
#include "base/trace.h"
#include "platform/display_scaling.h"

namespace app {

const char kUsage[] =
    "Usage: ravelkin                      open the dialog on the scripts of this folder\n"
    "       ravelkin --run FILE... [--repeat] [--trace] [--matcher fast|opencv]\n"
    "                                     run script files in order, without the dialog\n"
    "       ravelkin --help | --version\n"
    "\n"
    "  --repeat  run the files again and again until a run does not complete\n"
    "  --trace   write diagnostic trace lines to standard error\n"
    "  --matcher find pictures with the fast matcher (default) or with OpenCV's\n"
    "            matchTemplate; RAVELKIN_MATCHER sets the same for the dialog\n"
    "\n"
    "Hold the right CTRL key (or send SIGINT) to stop a run before its next line.\n"
    "Exit status: 0 completed, 1 cancelled, 2 a command failed, 3 a file could not be\n"
    "loaded, 64 bad usage, 69 no desktop to drive.\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    bool run = false;
    bool help = false;
    bool version = false;
    bool files_only = false;
    for (auto it = args.begin(); it != args.end(); ++it) {
        const std::string& arg = *it;
        if (!files_only && arg == "--matcher") {
            vision::MatcherKind kind = vision::MatcherKind::kFast;
            if (std::next(it) == args.end() || !vision::ParseMatcherKind(*std::next(it), &kind)) {
                line.error = "--matcher needs fast or opencv";
                return line;
            }
            line.matcher = kind;
            ++it;
        } else if (!files_only && arg.starts_with("--")) {
            if (arg == "--run") {
                run = true;
            } else if (arg == "--repeat") {
                line.repeat = true;
            } else if (arg == "--trace") {
                line.trace = true;
            } else if (arg == "--help") {
                help = true;
            } else if (arg == "--version") {
                version = true;
            } else if (arg == "--") {
                files_only = true;
            } else {
                line.error = "unknown option " + arg;
                return line;
            }
        } else {
            line.files.push_back(arg);
        }
    }
    if (help) {
        line.action = CommandLine::Action::kHelp;
    } else if (version) {
        line.action = CommandLine::Action::kVersion;
    } else if (!run) {
        line.error = "say --run before the script files";
    } else if (line.files.empty()) {
        line.error = "--run needs at least one script file";
    } else {
        line.action = CommandLine::Action::kRun;
    }
    return line;
}

namespace {

ExitStatus StatusOf(JobEnd end) {
    switch (end) {
        case JobEnd::kSucceeded:
            return ExitStatus::kCompleted;
        case JobEnd::kNotLoaded:
            return ExitStatus::kNotLoaded;
        case JobEnd::kCancelled:
        case JobEnd::kStopped:
            return ExitStatus::kCancelled;
        case JobEnd::kFailed:
            return ExitStatus::kFailed;
    }
    return ExitStatus::kFailed;
}

}  // namespace

ExitStatus RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err, const DesktopOpener& open_desktop,
                          engine::RunSettings settings) {
    const CommandLine line = ParseCommandLine(args);
    if (!line.error.empty()) {
        err << "ravelkin: " << line.error << "\n" << kUsage;
        return ExitStatus::kUsage;
    }
    if (line.action == CommandLine::Action::kHelp) {
        out << kUsage;
        return ExitStatus::kCompleted;
    }
    if (line.action == CommandLine::Action::kVersion) {
        out << "Ravelkin " << kRavelkinVersion << "\n";
        if (const std::string scaling = platform::ScreenPixelsReport(); !scaling.empty()) {
            out << scaling << "\n";
        }
        return ExitStatus::kCompleted;
    }

    std::string error;
    std::unique_ptr<platform::Desktop> desktop = open_desktop(error);
    if (!desktop) {
        err << "ravelkin: " << error << "\n";
        return ExitStatus::kNoDesktop;
    }
    const trace::ScopedOutput trace_to(line.trace ? stderr : nullptr);
    if (line.matcher) settings.matcher = *line.matcher;

    const JobEnd end = RunJob(line.files, line.repeat, *desktop, [&](const std::string& file) {
        const ScriptRun run = RunScriptFile(file, *desktop, settings);
        if (run.outcome == RunOutcome::kNotLoaded) {
            err << "ravelkin: cannot load script file '" << file << "'\n";
        } else {
            out << run.block << std::flush;
        }
        return run.outcome;
    });
    // Keys may stay held across the files of one job, never beyond it: nothing would let go
    // of them once the program has ended.
    desktop->ReleaseHeldInput();
    return StatusOf(end);
}

engine::RunSettings SettingsFromEnvironment(std::ostream& err) {
    engine::RunSettings settings;
    const char* name = std::getenv("RAVELKIN_MATCHER");
    if (name && !vision::ParseMatcherKind(name, &settings.matcher)) {
        err << "ravelkin: ignoring RAVELKIN_MATCHER=" << name << " (fast or opencv)\n";
    }
    return settings;
}

}  // namespace app
