// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/template_path.h"

namespace vision {

std::string TemplatePath(std::int32_t number) {
    return std::string("Images") + kPathSeparator + std::to_string(number) + ".bmp";
}

}  // namespace vision
