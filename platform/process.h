// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The running program as a file, and starting another in its place.
namespace platform {

// The running program's executable file, symbolic links resolved; empty when the system
// cannot say.
std::filesystem::path OwnExecutable();

// Runs program in place of this process (same process id, open files and environment), with
// args as its arguments, args[0] being the name it is told it was started as. Returns only
// when that fails, with the reason. Not on Windows, where the program is built as one.
std::string ReplaceProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& args);

}  // namespace platform
