// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace vision {

// The platform's folder separator: '/' on Linux, '\\' on Windows. Every template path, in the
// file access and in every text that shows it, is built with it.
inline constexpr char kPathSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// "Images" + separator + number + ".bmp", relative to the working directory.
std::string TemplatePath(std::int32_t number);

}  // namespace vision
