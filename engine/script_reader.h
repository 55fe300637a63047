// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace engine {

// One stored line of a script, and the line of the file it comes from: a line longer than the
// piece length gives several stored lines of the same number.
struct ScriptLine {
    std::string text;
    int number = 0;
};

struct Script {
    enum class Failure {
        kNone,
        kNotAFile,   // missing, a directory, a device
        kReadError,  // the reading stopped part-way; the lines read so far are kept
        kNoMemory,   // a line could not be kept; failed_line names it
    } failure = Failure::kNone;
    std::vector<ScriptLine> lines;
    std::string failed_line;
};

// Reads a script file as every run reads it: the Windows runtime's text mode, pieces of at
// most 1023 bytes, a NUL ending a line's text, empty lines dropped, and the whole file taken as
// Shift-JIS (converted to UTF-8 after the lines are split) unless all of it is UTF-8.
Script ReadScript(const char* file_name);

}  // namespace engine
