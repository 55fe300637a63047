#include <string>

#include "vision/image_search.h"

std::string TemplatePath(std::int32_t number) {
    return std::string("Images") + kPathSeparator + std::to_string(number) + ".bmp";
}
