#include "engine/command_table.h"
#include "engine/event_maker.h"

int CEvent_Maker::Execute(const std::string& line) {
    const engine::SplitLine split = engine::SplitAtFirstSpace(line);
    const engine::CommandEntry* entry = engine::MatchKeyword(split.keyword);
    // A keyword that matches nothing fails without a message.
    if (!entry) return engine::kFailed;
    engine::RunContext run = Context();
    return entry->run(run, entry->command, {line, split.keyword, split.args});
}
