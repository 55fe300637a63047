#include <algorithm>
#include <memory>
#include <new>

#include "engine/event_maker.h"
#include "engine/text_file_reader.h"
#include "engine/trace.h"

bool CEvent_Maker::Load(const char* fileName) {
    auto reader = std::make_unique<TextFileReader>();
    if (!reader->Open(fileName)) return false;

    std::string piece;
    try {
        while (reader->ReadLine(piece)) {
            // A NUL byte ends the line's text, as it ends a C string; the line end goes too.
            std::string line = piece.substr(0, piece.find('\0'));
            line.erase(std::min(line.find('\n'), line.size()));
            if (line.empty()) continue;
            trace::Printf("COM: [%s]\n", line.c_str());
            m_commands.push_back(std::move(line));
        }
    } catch (const std::bad_alloc&) {
        // The lines kept so far stay; the load reports failure.
        trace::Printf("error: %s\n", piece.c_str());
        return false;
    }
    // A read error part-way must not leave a truncated script that runs as if complete.
    if (reader->failed()) return false;
    for (const auto& command : m_commands) trace::Printf("COMLIST: [%s]\n", command.c_str());
    return true;
}
