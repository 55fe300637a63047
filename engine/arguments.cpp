#include "engine/arguments.h"

#include "engine/number_scan.h"

namespace engine {

std::optional<ImageArgs> ScanImageArgs(std::string_view args) {
    ImageArgs out;
    if (ScanNumbers(args, "%d,%d,%d,%d,%d,%lf",
                    {&out.image, &out.area.left, &out.area.top, &out.area.right, &out.area.bottom,
                     &out.threshold}) != 6) {
        return std::nullopt;
    }
    return out;
}

std::optional<platform::Point> ScanMovArgs(const std::string& line) {
    platform::Point at;
    if (ScanNumbers(line, "MOV %d,%d", {&at.x, &at.y}) != 2) return std::nullopt;
    return at;
}

std::optional<std::int32_t> ScanWaitArgs(const std::string& line) {
    std::int32_t ms = 0;
    if (ScanNumbers(line, "WAIT %d", {&ms}) != 1) return std::nullopt;
    return ms;
}

}  // namespace engine
