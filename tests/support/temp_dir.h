// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
  public:
    TempDir();
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of a file below the directory, as text.
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes to a file below the directory (creating folders) and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const;

  private:
    std::filesystem::path path_;
};

// Makes dir the working directory for its lifetime.
class ScopedCurrentDir {
  public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCurrentDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

  private:
    std::filesystem::path previous_ = std::filesystem::current_path();
};

}  // namespace testing_support
