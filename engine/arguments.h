#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/geometry.h"

// The argument fields of the commands that take numbers, read as a run reads them. Nothing when
// a field is missing, does not scan, or does not fit 32 bits.
namespace engine {

struct ImageArgs {
    std::int32_t image = 0;
    platform::Rect area;   // left, top, right, bottom; right and bottom one past the area
    double threshold = 0;  // in per cent; the score x 100 must be above it
};

// "image,left,top,right,bottom,threshold" from the argument text.
std::optional<ImageArgs> ScanImageArgs(std::string_view args);
// "MOV x,y" from the whole line.
std::optional<platform::Point> ScanMovArgs(const std::string& line);
// "WAIT ms" from the whole line.
std::optional<std::int32_t> ScanWaitArgs(const std::string& line);

}  // namespace engine
