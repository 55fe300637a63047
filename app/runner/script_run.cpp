// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/runner/script_run.h"

#include "app/runner/log_block.h"
#include "base/trace.h"
#include "engine/event_maker.h"

namespace app {

ScriptRun RunScriptFile(const std::string& file_name, platform::Desktop& desktop,
                        const engine::RunSettings& settings) {
    ScriptRun run;
    CEvent_Maker engine(desktop, settings);
    trace::Printf("%sを読み込み\n", file_name.c_str());
    const bool loaded = engine.Load(file_name.c_str());
    trace::Printf(".. %s\n", loaded ? "成功" : "失敗");
    if (!loaded) return run;

    const int result = engine.RunList();
    run.block = BuildLogBlock(file_name, engine.GetLog(), result, engine.GetErrorText());
    if (result == 0) {
        run.outcome = RunOutcome::kCompleted;
        return run;
    }
    run.outcome = result > 0 ? RunOutcome::kCancelled : RunOutcome::kFailed;
    run.error_text = engine.GetErrorText();
    desktop.ReleaseHeldInput();
    return run;
}

}  // namespace app
