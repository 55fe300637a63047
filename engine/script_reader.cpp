// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/script_reader.h"

#include <algorithm>
#include <memory>
#include <new>

#include "engine/script_encoding.h"
#include "engine/text_file_reader.h"
#include "platform/code_page.h"

namespace engine {

Script ReadScript(const char* file_name) {
    Script script;
    auto reader = std::make_unique<TextFileReader>();
    if (!reader->Open(file_name)) {
        script.failure = Script::Failure::kNotAFile;
        return script;
    }
    // The whole file is read before anything is kept: whether it is UTF-8 or Shift-JIS is
    // decided on all of its bytes, never line by line, and a character that a 1023-byte piece
    // cuts in two still counts as whole.
    std::string text;
    std::string piece;
    const std::string* current = &piece;  // the text named when keeping it fails
    try {
        for (int number = 1; reader->ReadLine(piece);) {
            text += piece;
            const bool ends = piece.back() == '\n';
            // A NUL byte ends the line's text, as it ends a C string; the line end goes too.
            std::string line = piece.substr(0, piece.find('\0'));
            line.erase(std::min(line.find('\n'), line.size()));
            if (!line.empty()) script.lines.push_back({std::move(line), number});
            if (ends) ++number;
        }
        if (!IsValidUtf8(text)) {
            for (auto& line : script.lines) {
                current = &line.text;
                // Without a converter the line stays as read.
                if (auto utf8 = platform::Cp932ToUtf8(line.text)) line.text = std::move(*utf8);
            }
        }
    } catch (const std::bad_alloc&) {
        script.failure = Script::Failure::kNoMemory;
        script.failed_line = *current;
        script.lines.clear();
        return script;
    }
    if (reader->failed()) script.failure = Script::Failure::kReadError;
    return script;
}

}  // namespace engine
