#include "app/runner/check.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <opencv2/core/mat.hpp>
#include <ostream>

#include "engine/arguments.h"
#include "engine/command_table.h"
#include "engine/script_reader.h"
#include "input/typing_table.h"
#include "vision/find_image.h"
#include "vision/template_path.h"

namespace app {
namespace {

using engine::Command;

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// A threshold in its shortest form: 100, 85.5.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string KeyNames() {
    std::string names;
    for (std::size_t k = 0; k < engine::kKeyNameCount; ++k) {
        names += (k ? " " : "") + std::string(g_keywordTable[engine::kFirstKeyName + k]);
    }
    return names;
}

bool IsImageCommand(Command c) {
    return c <= Command::kImg || c == Command::kChkImg || c == Command::kChkNoImg;
}

class Checker {
  public:
    explicit Checker(platform::Desktop* desktop) : desktop_(desktop) {}

    void Line(const engine::ScriptLine& line) {
        line_ = line.number;
        const auto split = engine::SplitAtFirstSpace(line.text);
        const engine::CommandEntry* entry = engine::MatchKeyword(split.keyword);
        if (!entry) return UnknownCommand(line.text, split.keyword);
        const Command command = entry->command;
        const std::string_view name = entry->keyword;
        if (IsImageCommand(command)) return Image(name, split.args);
        switch (command) {
            case Command::kMov:
                if (!engine::ScanMovArgs(line.text)) Error("MOV needs x,y in pixels");
                break;
            case Command::kWait:
                if (!engine::ScanWaitArgs(line.text)) Error("WAIT needs a number of milliseconds");
                break;
            case Command::kStr:
                Typed(split.args);
                break;
            case Command::kOpe:
            case Command::kOpeOn:
            case Command::kOpeOff:
                Key(command, name, split.args);
                break;
            case Command::kClk:
            case Command::kRClick:
            case Command::kDrag:
            case Command::kDrop:
                Button(command, name, split.args);
                break;
            case Command::kWindClk:
            case Command::kWind:
            case Command::kChkWind:
            case Command::kChkNoWind:
                if (split.args.empty())
                    Warning(std::string(name) + " without a title matches every window");
                break;
            default:
                break;
        }
    }

    // Keys and the button that the file leaves down.
    void End() {
        for (const auto& [name, line] : held_) {
            findings_.push_back({line, false,
                                 name + " is still down at the end of the file; it is released "
                                        "when the job ends"});
        }
    }

    std::vector<Finding> findings() { return std::move(findings_); }

  private:
    void Error(std::string text) { findings_.push_back({line_, true, std::move(text)}); }
    void Warning(std::string text) { findings_.push_back({line_, false, std::move(text)}); }

    void UnknownCommand(std::string_view line, std::string_view keyword) {
        std::string text = "unknown command " + Quoted(keyword) + ": the run stops here";
        std::string upper(keyword);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (engine::MatchKeyword(upper)) {
            text += " (commands are upper case: " + upper + ")";
        } else if (line.starts_with(";")) {
            text += " (a comment is ';' and a space)";
        } else if (line.find('\t') != std::string_view::npos || line.starts_with(" ")) {
            text += " (one space, no tab, goes after the command)";
        }
        Error(std::move(text));
    }

    void Image(std::string_view name, std::string_view args) {
        const auto image = engine::ScanImageArgs(args);
        if (!image) {
            return Error(std::string(name) +
                         " needs image,left,top,right,bottom,threshold, numbers of 32 bits");
        }
        const platform::Rect& a = image->area;
        const std::string area = std::to_string(a.left) + "," + std::to_string(a.top) + "," +
                                 std::to_string(a.right) + "," + std::to_string(a.bottom);
        const std::int64_t width = std::int64_t{a.right} - a.left;
        const std::int64_t height = std::int64_t{a.bottom} - a.top;
        if (width <= 0 || height <= 0) return Error("the search area " + area + " is empty");
        cv::Size limit(static_cast<int>(std::min<std::int64_t>(width, 1 << 30)),
                       static_cast<int>(std::min<std::int64_t>(height, 1 << 30)));
        if (desktop_) {
            const platform::Size screen = desktop_->ScreenSize();
            if (a.right <= 0 || a.bottom <= 0 || a.left >= screen.width || a.top >= screen.height) {
                return Error("the search area " + area + " lies outside the " +
                             std::to_string(screen.width) + "x" + std::to_string(screen.height) +
                             " screen");
            }
            limit = {std::min(limit.width, screen.width), std::min(limit.height, screen.height)};
        }
        Threshold(image->threshold);
        Template(vision::TemplatePath(image->image), limit);
    }

    void Threshold(double threshold) {
        if (std::isnan(threshold) || threshold >= 100) {
            Error("no score exceeds the threshold " + Number(threshold) + ": scores go up to 100");
        } else if (threshold <= 0) {
            Warning("every placement passes the threshold " + Number(threshold));
        }
    }

    void Template(const std::string& path, cv::Size limit) {
        cv::Mat picture;
        try {
            switch (vision::LoadTemplate(path, limit, &picture)) {
                case vision::TemplateLoad::kMissing:
                    return Error(path + " does not exist");
                case vision::TemplateLoad::kUnreadable:
                    return Error(path + " cannot be read");
                case vision::TemplateLoad::kNotAPicture:
                    return Error(path + " is not a picture");
                case vision::TemplateLoad::kTooLarge:
                    return Error(path + " is larger than the search area (" +
                                 std::to_string(limit.width) + "x" + std::to_string(limit.height) +
                                 ")");
                case vision::TemplateLoad::kLoaded:
                    return;
            }
        } catch (const std::exception& e) {
            Error(path + " cannot be read: " + e.what());
        }
    }

    // The characters of the text that no key types, each named once.
    void Typed(std::string_view text) {
        std::string skipped;
        bool lower = false;
        for (std::size_t i = 0; i < text.size();) {
            const auto byte = static_cast<unsigned char>(text[i]);
            // A character of several bytes is skipped whole: none of its bytes is in the table.
            const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
            const std::string_view character = text.substr(i, length);  // shorter at the end
            i += length;
            if (length == 1 && input::TypingStroke(byte, true).count > 0) continue;
            lower = lower || (byte >= 'a' && byte <= 'z');
            if (skipped.find(Quoted(character)) == std::string::npos) {
                skipped += (skipped.empty() ? "" : " ") + Quoted(character);
            }
        }
        if (skipped.empty()) return;
        Warning("STR does not type " + skipped +
                (lower ? " (letters are typed as written in capitals, and arrive in lower case)"
                       : " (it types A-Z, 0-9, space and - ? ! , . /)"));
    }

    void Key(Command command, std::string_view name, std::string_view args) {
        if (!engine::FindKeyName(args)) {
            return Error(std::string(name) + ": no key name in " + Quoted(args) +
                         "; the names are " + KeyNames());
        }
        // The name the lookup takes: the first in table order that the text holds.
        std::string key;
        for (std::size_t k = 0; k < engine::kKeyNameCount && key.empty(); ++k) {
            const std::string_view candidate = g_keywordTable[engine::kFirstKeyName + k];
            if (args.find(candidate) != std::string_view::npos) key = candidate;
        }
        if (command == Command::kOpeOn) held_.try_emplace(key, line_);
        if (command == Command::kOpeOff) held_.erase(key);
    }

    void Button(Command command, std::string_view name, std::string_view args) {
        if (!args.empty()) {
            Warning(std::string(name) + " acts where the pointer is and ignores " + Quoted(args));
        }
        if (command == Command::kDrag) held_.try_emplace("the left button", line_);
        if (command == Command::kDrop) held_.erase("the left button");
    }

    platform::Desktop* desktop_;
    int line_ = 0;
    std::map<std::string, int> held_;  // what is down, and the line that pressed it
    std::vector<Finding> findings_;
};

}  // namespace

std::optional<std::vector<Finding>> CheckScript(const std::string& file_name,
                                                platform::Desktop* desktop) {
    const engine::Script script = engine::ReadScript(file_name.c_str());
    if (script.failure != engine::Script::Failure::kNone) return std::nullopt;
    Checker checker(desktop);
    for (const auto& line : script.lines) checker.Line(line);
    checker.End();
    std::vector<Finding> findings = checker.findings();
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings;
}

ExitStatus CheckScripts(const std::vector<std::string>& files, platform::Desktop* desktop,
                        std::ostream& out, std::ostream& err) {
    ExitStatus status = ExitStatus::kCompleted;
    for (const auto& file : files) {
        const auto findings = CheckScript(file, desktop);
        if (!findings) {
            err << "ravelkin: cannot read script file '" << file << "'\n";
            status = ExitStatus::kNotLoaded;
            continue;
        }
        for (const Finding& f : *findings) {
            out << file << ":" << f.line << ": " << (f.error ? "error: " : "warning: ") << f.text
                << "\n";
            if (f.error && status == ExitStatus::kCompleted) status = ExitStatus::kFailed;
        }
    }
    return status;
}

}  // namespace app
