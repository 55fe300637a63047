// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/check_script.h"

#include <algorithm>
#include <cctype>

#include "engine/command_table.h"
#include "engine/script_reader.h"

namespace engine {

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::vector<Finding> CheckContext::Finish() {
    for (const auto& [what, line] : held_) {
        findings_.push_back({line, false,
                             what + " is still down at the end of the file; it is released "
                                    "when the job ends"});
    }
    held_.clear();
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return std::move(findings_);
}

namespace {

// The line stops a run: say why the keyword did not match when a likely slip explains it.
void UnknownCommand(CheckContext& check, std::string_view line, std::string_view keyword) {
    std::string text = "unknown command " + Quoted(keyword) + ": the run stops here";
    std::string upper(keyword);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (MatchKeyword(upper)) {
        text += " (commands are upper case: " + upper + ")";
    } else if (line.starts_with(";")) {
        text += " (a comment is ';' and a space)";
    } else if (line.find('\t') != std::string_view::npos || line.starts_with(" ")) {
        text += " (one space, no tab, goes after the command)";
    }
    check.Error(std::move(text));
}

}  // namespace

std::optional<std::vector<Finding>> CheckScript(const std::string& file_name,
                                                platform::Desktop* desktop) {
    const Script script = ReadScript(file_name.c_str());
    if (script.failure != Script::Failure::kNone) return std::nullopt;
    CheckContext check(desktop);
    for (const ScriptLine& line : script.lines) {
        check.StartLine(line.number);
        const SplitLine split = SplitAtFirstSpace(line.text);
        const CommandEntry* entry = MatchKeyword(split.keyword);
        if (!entry) {
            UnknownCommand(check, line.text, split.keyword);
            continue;
        }
        entry->check(check, entry->command, {line.text, split.keyword, split.args});
    }
    return check.Finish();
}

}  // namespace engine
