#include "app/script_run.h"

#include "app/log_block.h"
#include "engine/event_maker.h"
#include "engine/trace.h"
#include "platform/desktop.h"

ScriptRun RunScriptFile(const std::string& fileName) {
    ScriptRun run;
    CEvent_Maker engine;
    trace::Printf("%sを読み込み\n", fileName.c_str());
    const bool loaded = engine.Load(fileName.c_str());
    trace::Printf(".. %s\n", loaded ? "成功" : "失敗");
    if (!loaded) return run;

    const int result = engine.RunList();
    run.block = BuildLogBlock(fileName, engine.m_log, result, engine.GetErrorText());
    if (result == 0) {
        run.outcome = RunOutcome::kCompleted;
        return run;
    }
    run.outcome = result > 0 ? RunOutcome::kCancelled : RunOutcome::kFailed;
    run.errorText = engine.GetErrorText();
    platform::Active().ReleaseHeldInput();
    return run;
}
