#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/bitmap.h"

namespace cv {
class Mat;
}

// Copies a screen bitmap into a new 8-bit BGR picture, top row first, one block copy per row.
// 1 when the picture was made and stored, 0 otherwise (nothing stored).
int ConvertToMat(cv::Mat* picture, const platform::Bitmap& bitmap);

// The platform's folder separator: '/' on Linux, '\\' on Windows. Every template path, in the
// file access and in every text that shows it, is built with it.
inline constexpr char kPathSeparator =
    static_cast<char>(std::filesystem::path::preferred_separator);

// "Images" + separator + number + ".bmp", relative to the working directory.
std::string TemplatePath(std::int32_t number);

// A search counts as a match when score x 100 is strictly above the threshold (in percent);
// a score or threshold that is not a number never matches.
inline bool ScoreAccepted(double score, double threshold) {
    return score * 100.0 > threshold;
}
