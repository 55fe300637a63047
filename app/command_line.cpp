#include "app/command_line.h"

#include <cstdio>
#include <iterator>
#include <ostream>

#include "app/script_job.h"
#include "app/script_run.h"
#include "app/version.h"
#include "engine/trace.h"

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
    bool filesOnly = false;
    for (auto it = args.begin(); it != args.end(); ++it) {
        const std::string& arg = *it;
        if (!filesOnly && arg == "--matcher") {
            vision::MatcherKind kind = vision::MatcherKind::kFast;
            if (std::next(it) == args.end() || !vision::ParseMatcherKind(*std::next(it), &kind)) {
                line.error = "--matcher needs fast or opencv";
                return line;
            }
            line.matcher = kind;
            ++it;
        } else if (!filesOnly && arg.starts_with("--")) {
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
                filesOnly = true;
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

int StatusOf(JobEnd end) {
    switch (end) {
        case JobEnd::kSucceeded:
            return kExitCompleted;
        case JobEnd::kNotLoaded:
            return kExitNotLoaded;
        case JobEnd::kCancelled:
        case JobEnd::kStopped:
            return kExitCancelled;
        case JobEnd::kFailed:
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const DesktopOpener& openDesktop) {
    const CommandLine line = ParseCommandLine(args);
    if (!line.error.empty()) {
        err << "ravelkin: " << line.error << "\n" << kUsage;
        return kExitUsage;
    }
    if (line.action == CommandLine::Action::kHelp) {
        out << kUsage;
        return kExitCompleted;
    }
    if (line.action == CommandLine::Action::kVersion) {
        out << "Ravelkin " << kRavelkinVersion << "\n";
        return kExitCompleted;
    }

    std::string error;
    std::unique_ptr<platform::Desktop> desktop = openDesktop(error);
    if (!desktop) {
        err << "ravelkin: " << error << "\n";
        return kExitNoDesktop;
    }
    platform::Desktop* previous = platform::Install(desktop.get());
    std::FILE* previousTrace = trace::Output();
    trace::SetOutput(line.trace ? stderr : nullptr);
    const vision::MatcherKind previousMatcher = vision::ActiveMatcher();
    if (line.matcher) vision::SetMatcher(*line.matcher);

    const JobEnd end = RunJob(line.files, line.repeat, [&](const std::string& file) {
        ScriptRun run = RunScriptFile(file);
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

    vision::SetMatcher(previousMatcher);
    trace::SetOutput(previousTrace);
    platform::Install(previous);
    return StatusOf(end);
}
