// SPDX-License-Identifier: GPL-3.0-or-later
// template_pixels FILE...: for each picture file, the size and a hash of the pixels the
// product's template reader gives, or "unreadable". Built a second time with
// RAVELKIN_REFERENCE on Debian's shared OpenCV, reading as the program did before it linked
// its own; template_decoding.sh compares the two.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#ifndef RAVELKIN_REFERENCE
#include "vision/find_image.h"
#endif

namespace {

bool Read(const char* path, cv::Mat* out) {
#ifdef RAVELKIN_REFERENCE
    cv::Mat loaded = cv::imread(path, cv::IMREAD_ANYCOLOR);
    if (loaded.empty() || loaded.depth() != CV_8U) return false;
    if (loaded.channels() == 1) cv::cvtColor(loaded, loaded, cv::COLOR_GRAY2BGR);
    *out = loaded;
    return out->channels() == 3;
#else
    return vision::LoadTemplate(path, {INT_MAX, INT_MAX}, out) == vision::TemplateLoad::kLoaded;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        cv::Mat picture;
        bool read = false;
        try {
            read = Read(argv[i], &picture);
        } catch (const std::exception&) {
        }
        if (!read) {
            std::printf("%s unreadable\n", argv[i]);
            continue;
        }
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a over the rows, top first
        for (int y = 0; y < picture.rows; ++y) {
            const unsigned char* row = picture.ptr(y);
            for (int x = 0; x < picture.cols * 3; ++x) hash = (hash ^ row[x]) * 1099511628211u;
        }
        std::printf("%s %dx%d %016llx\n", argv[i], picture.cols, picture.rows,
                    static_cast<unsigned long long>(hash));
    }
}
