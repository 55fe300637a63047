#include "engine/event_maker.h"
#include "engine/keyword_table.h"
#include "engine/number_scan.h"
#include "engine/trace.h"
#include "vision/image_search.h"

namespace {

struct ImageArgs {
    std::int32_t image = 0;
    platform::Rect area;
    double threshold = 0;
};

// Six fields are needed; a number beyond 32 bits is as wrong as a missing one.
bool ScanImageArgs(std::string_view args, ImageArgs& out) {
    return ScanNumbers(args, "%d,%d,%d,%d,%d,%lf",
                       {&out.image, &out.area.left, &out.area.top, &out.area.right,
                        &out.area.bottom, &out.threshold}) == 6;
}

const char* LogText(int command) {
    switch (command) {
        case kImgClkF:
            return "を検索し、クリック\n";
        case kImgClk:
            return "を検索し、クリック(マッチしない場合は無視)\n";
        case kImgF:
            return "を検索し、移動\n";
        case kImg:
            return "を検索し、移動(マッチしない場合は無視)\n";
        case kChkImg:
            return "を検索\n";
        default:
            return "が無いことを検索\n";
    }
}

}  // namespace

int CEvent_Maker::RunImageCommand(int command, const std::string& line, std::string_view args) {
    if (command == kImg) trace::Printf("画像に移動\n");
    ImageArgs image;
    if (!ScanImageArgs(args, image)) {
        // Only the move commands say what was wrong; the others stop without a message.
        if (command == kImgF || command == kImg) SetArgError(line);
        return -1;
    }

    const std::string path = TemplatePath(image.image);
    if (command == kImg) trace::Printf("%sのマッチングを開始\n", path.c_str());
    int x = 0;
    int y = 0;
    double score = 0;
    const bool searched = FindImage(&x, &y, &score, image.area, path.c_str());
    m_log += path + LogText(command);
    const bool found = searched && ScoreAccepted(score, image.threshold);

    switch (command) {
        case kImgClkF:
            return found ? MoveAndClick(x, y) : -1;
        case kImgClk:
            return found ? MoveAndClick(x, y) : 0;
        case kImgF:
            if (found) return MovePointer(x, y);
            m_error = "Can't find Image " + path;
            return -1;
        case kImg:
            return found ? MovePointer(x, y) : 0;
        case kChkImg:
            if (found) return 0;
            m_error = "Can't find like " + path + " ";
            return -1;
        default:
            if (!found) return 0;
            m_error = "Find like " + path + " ";
            return -1;
    }
}
