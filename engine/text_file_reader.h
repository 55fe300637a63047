// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace engine {

// Reads a file as the Windows runtime's text mode does, on every platform: CR LF reads as
// LF, a lone CR stays, a 0x1A byte ends the file. ReadLine behaves like fgets with a
// 1024-byte buffer: at most 1023 bytes, up to and including the next LF.
class TextFileReader {
  public:
    static constexpr std::size_t kMaxPiece = 1023;

    // Opens a regular file; anything else (missing, a directory, a device) fails.
    bool Open(const char* path);
    // False at the end of the file or on a read error (see failed()).
    bool ReadLine(std::string& piece);
    bool failed() const { return failed_; }

  private:
    int Next();
    bool Fill();

    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    char buffer_[64 * 1024];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

}  // namespace engine
