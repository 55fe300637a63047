// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/text_file_reader.h"

#include <filesystem>
#include <system_error>

namespace engine {

bool TextFileReader::Open(const char* path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    file_.reset(std::fopen(path, "rb"));
    return file_ != nullptr;
}

bool TextFileReader::Fill() {
    if (eof_) return false;
    end_ = std::fread(buffer_, 1, sizeof buffer_, file_.get());
    pos_ = 0;
    if (end_ == 0) {
        eof_ = true;
        if (std::ferror(file_.get())) failed_ = true;
        return false;
    }
    return true;
}

// One byte of the text stream, or EOF.
int TextFileReader::Next() {
    if (pos_ == end_ && !Fill()) return EOF;
    const auto c = static_cast<unsigned char>(buffer_[pos_++]);
    if (c == 0x1A) {
        eof_ = true;
        pos_ = end_;
        return EOF;
    }
    if (c == '\r') {
        if (pos_ == end_ && !Fill()) return '\r';
        if (buffer_[pos_] == '\n') {
            ++pos_;
            return '\n';
        }
    }
    return c;
}

bool TextFileReader::ReadLine(std::string& piece) {
    piece.clear();
    while (piece.size() < kMaxPiece) {
        const int c = Next();
        if (c == EOF) break;
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !piece.empty();
}

}  // namespace engine
