#include "engine/event_maker.h"
#include "engine/keyword_table.h"

int CEvent_Maker::Execute(const std::string& line) {
    const SplitLine split = SplitAtFirstSpace(line);
    const auto command = MatchKeyword(split.keyword);
    if (!command) return -1;

    switch (*command) {
        case kImgClkF:
        case kImgClk:
        case kImgF:
        case kImg:
        case kChkImg:
        case kChkNoImg:
            return RunImageCommand(*command, line, split.args);
        case kWindClk:
        case kWind:
        case kChkWind:
        case kChkNoWind:
            return RunWindowCommand(*command, split.args);
        case kMov:
            return RunMov(line);
        case kClk:
            return RunClk();
        case kStr:
            return RunStr(split.args);
        case kOpeOn:
        case kOpeOff:
        case kOpe:
            return RunOpe(*command, split.args);
        case kWait:
            return RunWait(line, split.args);
        case kDrag:
        case kDrop:
        case kRClick:
            return RunDragDropRClick(*command);
        case kComment:
            return 0;
    }
    return -1;
}
