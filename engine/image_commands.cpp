#include "base/trace.h"
#include "engine/arguments.h"
#include "engine/command_table.h"
#include "engine/event_maker.h"
#include "engine/run_observer.h"
#include "vision/find_image.h"
#include "vision/template_path.h"

namespace engine {
namespace {

const char* LogText(Command command) {
    switch (command) {
        case Command::kImgClkF:
            return "を検索し、クリック\n";
        case Command::kImgClk:
            return "を検索し、クリック(マッチしない場合は無視)\n";
        case Command::kImgF:
            return "を検索し、移動\n";
        case Command::kImg:
            return "を検索し、移動(マッチしない場合は無視)\n";
        case Command::kChkImg:
            return "を検索\n";
        default:
            return "が無いことを検索\n";
    }
}

}  // namespace

int RunImageCommand(CEvent_Maker& engine, Command command, const std::string& line,
                    std::string_view args) {
    if (command == Command::kImg) trace::Printf("画像に移動\n");
    const auto image = ScanImageArgs(args);
    if (!image) {
        // A kept quirk: only the move commands say what was wrong; the clicking and the check
        // commands stop without a message, as scripts have always seen them do.
        if (command == Command::kImgF || command == Command::kImg) SetArgError(engine, line);
        return -1;
    }

    const std::string path = vision::TemplatePath(image->image);
    if (command == Command::kImg) trace::Printf("%sのマッチングを開始\n", path.c_str());
    int x = 0;
    int y = 0;
    double score = 0;
    const bool searched = engine.FindImage(&x, &y, &score, image->area, path.c_str());
    engine.m_log += path + LogText(command);
    // A search that could not be made counts as not found.
    const bool found = searched && vision::ScoreAccepted(score, image->threshold);
    if (engine.settings().observer)
        engine.settings().observer->ImageJudged(image->threshold, found);

    switch (command) {
        case Command::kImgClkF:
            // A kept quirk: a strict click that finds nothing stops without a message.
            return found ? MoveAndClick(engine, x, y) : -1;
        case Command::kImgClk:
            return found ? MoveAndClick(engine, x, y) : 0;
        case Command::kImgF:
            if (found) return MovePointer(engine, x, y);
            engine.m_error = "Can't find Image " + path;
            return -1;
        case Command::kImg:
            return found ? MovePointer(engine, x, y) : 0;
        case Command::kChkImg:
            if (found) return 0;
            engine.m_error = "Can't find like " + path + " ";
            return -1;
        default:
            if (!found) return 0;
            engine.m_error = "Find like " + path + " ";
            return -1;
    }
}

}  // namespace engine
