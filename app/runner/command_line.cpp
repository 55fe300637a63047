// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <ostream>

#include "app/runner/check.h"
#include "app/runner/record_script.h"
#include "app/runner/run_report.h"
#include "app/runner/script_job.h"
#include "app/runner/script_run.h"
#include "app/runner/spy.h"
#include "app/runner/template_capture.h"
#include "app/runner/version.h"
#include "app/runner/wayland_notice.h"
#include "base/trace.h"
#include "engine/number_scan.h"
#include "platform/display_scaling.h"
#include "vision/capture_desktop.h"

namespace app {

const char kUsage[] =
    "Usage: ravelkin                      open the dialog on the scripts of this folder\n"
    "       ravelkin --run FILE... [--repeat] [--trace] [--matcher fast|opencv] [--report DIR]\n"
    "                                     run script files in order, without the dialog\n"
    "       ravelkin --check FILE...      check script files without running them\n"
    "       ravelkin --capture N [--area L,T,R,B]\n"
    "                                     save a part of the screen as Images/N.bmp and print\n"
    "                                     the line that finds it\n"
    "       ravelkin --record FILE [--area L,T,R,B] [--min-wait MS]\n"
    "                                     record what you do as a script, until the right\n"
    "                                     CTRL key is pressed\n"
    "       ravelkin --spy                show what is under the pointer until stopped\n"
    "       ravelkin --help | --version\n"
    "\n"
    "  --repeat  run the files again and again until a run does not complete\n"
    "  --trace   write diagnostic trace lines to standard error\n"
    "  --matcher find pictures with the fast matcher (default) or with OpenCV's\n"
    "            matchTemplate; RAVELKIN_MATCHER sets the same for the dialog\n"
    "  --report  write a report of the run with pictures to DIR/index.html\n"
    "  --area    the part of the screen to capture (left,top,right,bottom) instead of\n"
    "            dragging a rectangle over a screenshot; with --record, the part pictures\n"
    "            are cut from\n"
    "  --min-wait  a pause longer than this (milliseconds, 500 by default) is recorded\n"
    "            as WAIT\n"
    "\n"
    "Hold the right CTRL key (or send SIGINT) to stop a run before its next line.\n"
    "Exit status: 0 completed, 1 cancelled, 2 a command failed (--check: an error was\n"
    "found), 3 a file could not be loaded, 64 bad usage, 69 no desktop to drive.\n";

namespace {

// The value after an option; nothing when there is none.
std::optional<std::string> ValueOf(std::vector<std::string>::const_iterator& it,
                                   const std::vector<std::string>& args) {
    if (std::next(it) == args.end()) return std::nullopt;
    return *++it;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    using Action = CommandLine::Action;
    CommandLine line;
    std::vector<Action> actions;
    bool files_only = false;
    for (auto it = args.begin(); it != args.end(); ++it) {
        const std::string& arg = *it;
        if (files_only || !arg.starts_with("--")) {
            line.files.push_back(arg);
        } else if (arg == "--matcher") {
            vision::MatcherKind kind = vision::MatcherKind::kFast;
            const auto name = ValueOf(it, args);
            if (!name || !vision::ParseMatcherKind(*name, &kind)) {
                line.error = "--matcher needs fast or opencv";
                return line;
            }
            line.matcher = kind;
        } else if (arg == "--report") {
            const auto dir = ValueOf(it, args);
            if (!dir) {
                line.error = "--report needs a folder";
                return line;
            }
            line.report = *dir;
        } else if (arg == "--capture") {
            const auto number = ValueOf(it, args);
            if (!number || engine::ScanNumbers(*number, "%d", {&line.capture}) != 1) {
                line.error = "--capture needs the number of the picture";
                return line;
            }
            actions.push_back(Action::kCapture);
        } else if (arg == "--area") {
            const auto text = ValueOf(it, args);
            platform::Rect area;
            if (!text ||
                engine::ScanNumbers(*text, "%d,%d,%d,%d",
                                    {&area.left, &area.top, &area.right, &area.bottom}) != 4) {
                line.error = "--area needs left,top,right,bottom";
                return line;
            }
            line.area = area;
        } else if (arg == "--record") {
            const auto file = ValueOf(it, args);
            if (!file) {
                line.error = "--record needs the script file to write";
                return line;
            }
            line.record = *file;
            actions.push_back(Action::kRecord);
        } else if (arg == "--min-wait") {
            const auto text = ValueOf(it, args);
            std::int32_t ms = 0;
            if (!text || engine::ScanNumbers(*text, "%d", {&ms}) != 1 || ms < 0) {
                line.error = "--min-wait needs a number of milliseconds";
                return line;
            }
            line.min_wait = ms;
        } else if (arg == "--run") {
            actions.push_back(Action::kRun);
        } else if (arg == "--check") {
            actions.push_back(Action::kCheck);
        } else if (arg == "--spy") {
            actions.push_back(Action::kSpy);
        } else if (arg == "--repeat") {
            line.repeat = true;
        } else if (arg == "--trace") {
            line.trace = true;
        } else if (arg == "--help") {
            actions.insert(actions.begin(), Action::kHelp);
        } else if (arg == "--version") {
            actions.push_back(Action::kVersion);
        } else if (arg == "--") {
            files_only = true;
        } else {
            line.error = "unknown option " + arg;
            return line;
        }
    }
    // --help wins; otherwise one action, with the words that go with it.
    if (!actions.empty() &&
        (actions.front() == Action::kHelp || actions.front() == Action::kVersion)) {
        line.action = actions.front();
        return line;
    }
    const bool runs = actions.size() == 1 && actions[0] == Action::kRun;
    const bool captures =
        actions.size() == 1 && (actions[0] == Action::kCapture || actions[0] == Action::kRecord);
    const bool records = actions.size() == 1 && actions[0] == Action::kRecord;
    if (actions.empty()) {
        line.error = "say --run before the script files";
    } else if (actions.size() > 1) {
        line.error = "--run, --check, --capture, --record and --spy go alone";
    } else if ((actions[0] == Action::kRun || actions[0] == Action::kCheck) && line.files.empty()) {
        line.error = (runs ? "--run" : "--check") + std::string(" needs at least one script file");
    } else if (actions[0] != Action::kRun && actions[0] != Action::kCheck && !line.files.empty()) {
        line.error = "unexpected " + line.files.front();
    } else if (!runs && (line.repeat || !line.report.empty())) {
        line.error = "--repeat and --report go with --run";
    } else if (!captures && line.area) {
        line.error = "--area goes with --capture or --record";
    } else if (!records && line.min_wait) {
        line.error = "--min-wait goes with --record";
    } else {
        line.action = actions[0];
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

// Asks on the terminal before a file is replaced; anything but yes keeps it.
bool AskReplace(const std::string& path, std::ostream& out) {
    out << path << " exists. Replace it? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

// --record FILE: what the user does, until the right CTRL key, as a script.
ExitStatus Record(const CommandLine& line, platform::Desktop& desktop, std::ostream& out,
                  std::ostream& err) {
    RecordSettings settings;
    settings.area = line.area;
    if (line.min_wait) settings.min_wait_ms = static_cast<std::uint32_t>(*line.min_wait);
    const RecordResult recorded = RecordScript(
        desktop, line.record, settings,
        [&](const std::string& path) { return AskReplace(path, out); },
        [&] {
            out << "Recording into " << line.record
                << ": work as usual, then press the right CTRL key (or Ctrl+C here) to end.\n"
                << std::flush;
        });
    if (!recorded.written) {
        err << "ravelkin: " << recorded.error << "\n";
        return ExitStatus::kFailed;
    }
    if (!recorded.error.empty()) err << "ravelkin: " << recorded.error << "\n";
    out << recorded.summary;
    return ExitStatus::kCompleted;
}

// --capture N: a screenshot, the selection on it (the area given, or dragged), the template.
ExitStatus Capture(const CommandLine& line, platform::Desktop& desktop,
                   const AreaSelector& select_area, std::ostream& out, std::ostream& err) {
    const platform::Size size = desktop.ScreenSize();
    cv::Mat screen;
    if (!vision::CaptureDesktop(desktop, &screen, {0, 0, size.width, size.height})) {
        err << "ravelkin: cannot copy the screen\n";
        return ExitStatus::kFailed;
    }
    std::optional<platform::Rect> area = line.area;
    if (!area) {
        if (!select_area) {
            err << "ravelkin: --capture needs --area in this build\n";
            return ExitStatus::kUsage;
        }
        area = select_area(screen);
        if (!area) {
            err << "ravelkin: nothing captured\n";
            return ExitStatus::kCancelled;
        }
    }
    const TemplateCapture made =
        MakeTemplate(screen, line.capture, *area,
                     [&](const std::string& path) { return AskReplace(path, out); });
    if (!made.error.empty()) {
        err << "ravelkin: " << made.error << "\n";
        return ExitStatus::kFailed;
    }
    if (!made.warning.empty()) err << "ravelkin: warning: " << made.warning << "\n";
    out << made.line << "\n";
    return ExitStatus::kCompleted;
}

}  // namespace

ExitStatus RunCommandLine(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err, const DesktopOpener& open_desktop,
                          engine::RunSettings settings, const AreaSelector& select_area) {
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
        std::string why;
        const std::unique_ptr<platform::Desktop> desktop = open_desktop(why);
        out << "Backend: " << (desktop ? desktop->BackendName() : "none (" + why + ")") << "\n";
        return ExitStatus::kCompleted;
    }

    const trace::ScopedOutput trace_to(line.trace ? stderr : nullptr);
    std::string error;
    std::unique_ptr<platform::Desktop> desktop = open_desktop(error);
    if (desktop) WarnOfWayland(err, *desktop);
    if (line.action == CommandLine::Action::kCheck) {
        // A desktop only adds the screen's size to the checks.
        return CheckScripts(line.files, desktop.get(), out, err);
    }
    if (!desktop) {
        err << "ravelkin: " << error << "\n";
        return ExitStatus::kNoDesktop;
    }
    if (line.action == CommandLine::Action::kSpy) {
        std::string why;
        if (!desktop->Can().pointer_position && desktop->TrackPointer(why)) {
            err << "ravelkin: the pointer is followed through a transparent layer over the "
                   "whole screen: until --spy ends, clicks reach no window\n";
        } else if (!desktop->Can().pointer_position) {
            err << "ravelkin: cannot follow the pointer: " << why << "\n";
        }
        Spy(*desktop, out);
        return ExitStatus::kCompleted;
    }
    if (line.action == CommandLine::Action::kCapture) {
        return Capture(line, *desktop, select_area, out, err);
    }
    if (line.action == CommandLine::Action::kRecord) return Record(line, *desktop, out, err);
    if (line.matcher) settings.matcher = std::make_shared<vision::Matcher>(*line.matcher);
    std::optional<RunReport> report;
    if (!line.report.empty()) {
        report.emplace(line.report, *desktop);
        if (!report->Open(&error)) {
            err << "ravelkin: " << error << "\n";
            return ExitStatus::kUsage;
        }
        settings.observer = &*report;
    }

    if (!desktop->Can().key_state) {
        const std::string chord = desktop->StopChord();
        err << "ravelkin: this desktop does not let the program see the right CTRL key; "
            << (chord.empty() ? "" : chord + ", ") << "SIGINT or SIGTERM stops a run\n";
    }
    const JobEnd end = RunJob(line.files, line.repeat, *desktop, [&](const std::string& file) {
        if (report) report->FileStarted(file);
        const ScriptRun run = RunScriptFile(file, *desktop, settings);
        if (report) report->FileEnded(run.outcome, run.error_text);
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
    if (report && !report->Write(&error)) err << "ravelkin: " << error << "\n";
    return StatusOf(end);
}

engine::RunSettings SettingsFromEnvironment(std::ostream& err) {
    engine::RunSettings settings;
    const char* name = std::getenv("RAVELKIN_MATCHER");
    vision::MatcherKind kind = vision::MatcherKind::kFast;
    if (name && vision::ParseMatcherKind(name, &kind)) {
        settings.matcher = std::make_shared<vision::Matcher>(kind);
    } else if (name) {
        err << "ravelkin: ignoring RAVELKIN_MATCHER=" << name << " (fast or opencv)\n";
    }
    return settings;
}

}  // namespace app
