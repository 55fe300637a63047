// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/trace.h"
#include "engine/commands.h"
#include "engine/number_scan.h"
#include "input/wait.h"

namespace engine {

std::optional<std::int32_t> ScanWaitArgs(std::string_view args) {
    std::int32_t ms = 0;
    if (ScanNumbers(args, "%d", {&ms}) != 1) return std::nullopt;
    return ms;
}

int RunWait(RunContext& run, Command, const CommandLine& line) {
    const auto ms = ScanWaitArgs(line.args);
    if (!ms) {
        trace::Printf("Wait 秒数取得　失敗");
        return ArgumentError(run, line);
    }
    if (*ms > 0) run.log.append(line.args).append("ms待つ\n");
    return input::Wait(run.desktop, *ms);
}

void CheckWait(CheckContext& check, Command, const CommandLine& line) {
    if (!ScanWaitArgs(line.args)) check.Error("WAIT needs a number of milliseconds");
}

int RunComment(RunContext&, Command, const CommandLine&) {
    return kDone;
}

void CheckComment(CheckContext&, Command, const CommandLine&) {}

}  // namespace engine
