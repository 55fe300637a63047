// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/temp_dir.h"

#include <fstream>
#include <random>

namespace testing_support {

TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    do {
        path_ = base / ("ravelkin-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
}

std::filesystem::path TempDir::Write(const std::string& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

}  // namespace testing_support
