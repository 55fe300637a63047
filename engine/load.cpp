#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/trace.h"
#include "engine/event_maker.h"
#include "engine/script_encoding.h"
#include "engine/text_file_reader.h"
#include "platform/code_page.h"

bool CEvent_Maker::Load(const char* file_name) {
    auto reader = std::make_unique<engine::TextFileReader>();
    if (!reader->Open(file_name)) return false;

    // The whole file is read before anything is kept: whether it is UTF-8 or Shift-JIS is
    // decided on all of its bytes, never line by line, and a character that a 1023-byte piece
    // cuts in two still counts as whole.
    std::string text;
    std::vector<std::string> lines;
    std::string piece;
    const std::string* current = &piece;  // the text named when keeping it fails
    try {
        while (reader->ReadLine(piece)) {
            text += piece;
            // A NUL byte ends the line's text, as it ends a C string; the line end goes too.
            std::string line = piece.substr(0, piece.find('\0'));
            line.erase(std::min(line.find('\n'), line.size()));
            if (!line.empty()) lines.push_back(std::move(line));
        }
        if (!engine::IsValidUtf8(text)) {
            for (auto& line : lines) {
                current = &line;
                // Without a converter the line stays as read.
                if (auto utf8 = platform::Cp932ToUtf8(line)) line = std::move(*utf8);
            }
        }
        for (auto& line : lines) {
            current = &line;
            trace::Printf("COM: [%s]\n", line.c_str());
            m_commands.push_back(std::move(line));
        }
    } catch (const std::bad_alloc&) {
        // The lines kept so far stay; the load reports failure.
        trace::Printf("error: %s\n", current->c_str());
        return false;
    }
    // A read error part-way must not leave a truncated script that runs as if complete.
    if (reader->failed()) return false;
    for (const auto& command : m_commands) trace::Printf("COMLIST: [%s]\n", command.c_str());
    return true;
}
